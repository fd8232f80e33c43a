#include "dialogs/DialogKit.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/QtText.h"

namespace korvel {

QFont DialogFont() {
  QFont font(Q("Noto Sans CJK JP"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

QFont FixedPitchFont(int pixelSize) {
  QFont font(Q("Noto Sans Mono CJK JP"));
  // Without the Japanese face, the system's fixed-pitch face is the next best thing.
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(pixelSize);
  return font;
}

void SetUpFixedDialog(QDialog* dialog, const QString& title, int width, int height) {
  dialog->setWindowTitle(title);
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setFont(DialogFont());
  dialog->setFixedSize(width, height);
}

void CenterOnScreen(QWidget* window) {
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

void FitWidth(QWidget* widget) {
  int natural = widget->sizeHint().width();
  if (natural > widget->width()) widget->resize(natural, widget->height());
}

QString PathToQString(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace korvel
