#include "dialogs/HelpWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/DialogKit.h"
#include "platform/Notifier.h"
#include "qt/BrowserLauncher.h"
#include "qt/QtText.h"

namespace korvel {

namespace {
constexpr int kHelpWidth = 820;
constexpr int kHelpHeight = 640;
}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(Q("KORVEL ヘルプ"));
  setFont(DialogFont());
  resize(kHelpWidth, kHelpHeight);

  cmd_Back = new QPushButton(Q("戻る"), this);
  cmd_Back->setObjectName(QStringLiteral("cmd_Back"));
  cmd_Back->setEnabled(false);
  cmd_Forward = new QPushButton(Q("進む"), this);
  cmd_Forward->setObjectName(QStringLiteral("cmd_Forward"));
  cmd_Forward->setEnabled(false);
  auto* findLabel = new QLabel(Q("検索:"), this);
  txt_Find = new QLineEdit(this);
  txt_Find->setObjectName(QStringLiteral("txt_Find"));
  findLabel->setBuddy(txt_Find);
  cmd_FindNext = new QPushButton(Q("次を検索"), this);
  cmd_FindNext->setObjectName(QStringLiteral("cmd_FindNext"));

  browser = new QTextBrowser(this);
  browser->setObjectName(QStringLiteral("browser"));
  browser->setOpenExternalLinks(true);

  auto* bar = new QHBoxLayout;
  bar->addWidget(cmd_Back);
  bar->addWidget(cmd_Forward);
  bar->addStretch(1);
  bar->addWidget(findLabel);
  bar->addWidget(txt_Find, 1);
  bar->addWidget(cmd_FindNext);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(browser, 1);

  connect(cmd_Back, &QPushButton::clicked, browser, &QTextBrowser::backward);
  connect(cmd_Forward, &QPushButton::clicked, browser, &QTextBrowser::forward);
  connect(browser, &QTextBrowser::backwardAvailable, cmd_Back, &QPushButton::setEnabled);
  connect(browser, &QTextBrowser::forwardAvailable, cmd_Forward, &QPushButton::setEnabled);
  connect(browser, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser->documentTitle();
    setWindowTitle(title.isEmpty() ? Q("KORVEL ヘルプ") : title);
  });
  connect(cmd_FindNext, &QPushButton::clicked, this, &HelpWindow::FindNext);
  connect(txt_Find, &QLineEdit::returnPressed, this, &HelpWindow::FindNext);

  // The keys of browsers: Alt+Left and Alt+Right wherever the focus is, Ctrl+F, F3.
  connect(new QShortcut(QKeySequence::Back, this), &QShortcut::activated, browser,
          &QTextBrowser::backward);
  connect(new QShortcut(QKeySequence::Forward, this), &QShortcut::activated, browser,
          &QTextBrowser::forward);
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    txt_Find->setFocus(Qt::ShortcutFocusReason);
    txt_Find->selectAll();
  });
  connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this,
          &HelpWindow::FindNext);
}

void HelpWindow::ShowPage(const QString& path) { browser->setSource(QUrl::fromLocalFile(path)); }

void HelpWindow::FindNext() {
  const QString text = txt_Find->text();
  if (text.isEmpty()) return;
  if (browser->find(text)) return;
  // Not below the selection: look again from the top, and leave everything as it was when
  // the page does not hold the text at all.
  const QTextCursor before = browser->textCursor();
  QTextCursor top(browser->document());
  browser->setTextCursor(top);
  if (browser->find(text)) return;
  browser->setTextCursor(before);
  Beep();
}

namespace {

// What a desktop's frame adds around a window: its caption and borders.
constexpr int kFrameAllowanceX = 16;
constexpr int kFrameAllowanceY = 48;

// The window at its usual size where the screen has room for it, else as large as the
// screen allows, and wholly on the screen its owner is on.
void FitOnScreen(QWidget& window, QWidget* owner) {
  QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize fitted(std::min(kHelpWidth, area.width() - kFrameAllowanceX),
                     std::min(kHelpHeight, area.height() - kFrameAllowanceY));
  window.resize(fitted.expandedTo(window.minimumSizeHint()).boundedTo(area.size()));
  QRect frame(window.pos(), window.size() + QSize(kFrameAllowanceX, kFrameAllowanceY));
  if (!area.contains(frame)) {
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
  }
}

}  // namespace

HelpWindow* OpenHelpPage(const std::string& path, QWidget* owner) {
  const QString page = PathToQString(path);
  if (OpenInBrowser(CurrentBrowserCommand(), page)) return nullptr;
  // One help window, as there is one help page; it is made again after it was closed.
  static QPointer<HelpWindow> window;
  if (!window) window = new HelpWindow(owner);
  window->ShowPage(page);
  FitOnScreen(*window, owner);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace korvel
