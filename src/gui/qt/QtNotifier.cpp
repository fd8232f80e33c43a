#include "qt/QtNotifier.h"

#include <QApplication>
#include <QMessageBox>

#include "qt/QtText.h"

namespace korvel {
namespace {

QMessageBox::Icon ToIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

bool QtNotifier::Show(const MessageBoxSpec& box) {
  const bool question = box.buttons == MessageButtons::kYesNo;
  // The input a message is about comes on the line after its text.
  QString text = ToQString(box.text);
  if (!box.subject.empty()) text += QLatin1Char('\n') + QString::fromUtf8(box.subject);
  QMessageBox message(ToIcon(box.icon), ToQString(box.caption), text,
                      question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  // No owner: the box stands for the whole program, as the engine's messages do.
  message.setWindowModality(Qt::ApplicationModal);
  return message.exec() != QMessageBox::No;
}

void QtNotifier::Beep() { QApplication::beep(); }

bool BoxPrompter::Confirm(std::string_view question) {
  return CurrentNotifier().Show(QuestionBox(question));
}

void BoxPrompter::Tell(const Message& message) { ShowMessage(CurrentNotifier(), message); }

void BoxPrompter::TellAbout(const Message& message, std::string_view subject) {
  ShowMessage(CurrentNotifier(), message, subject);
}

Prompter& WindowPrompter() {
  static BoxPrompter prompter;
  return prompter;
}

bool ShowOutcome(const Status& status) {
  ShowStatus(CurrentNotifier(), status);
  return status.IsOk();
}

}  // namespace korvel
