#include "dialogs/DialogKit.h"

#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include "qt/QtText.h"

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

void PutCaptionOnBorder(QGroupBox* group) {
  // Some styles put the caption above the frame and push the frame down.
  group->setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 2px; }"));
}

void KeepTabStopOnChecked(QRadioButton* radio) {
  radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  QObject::connect(radio, &QRadioButton::toggled, radio, [radio](bool checked) {
    radio->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
  });
}

QIcon FolderIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QColor(128, 96, 0));
  painter.setBrush(QColor(255, 214, 80));
  painter.drawPolygon(QPolygon(
      {QPoint(1, 3), QPoint(6, 3), QPoint(8, 5), QPoint(14, 5), QPoint(14, 13), QPoint(1, 13)}));
  painter.setBrush(QColor(255, 236, 150));
  painter.drawRect(1, 6, 13, 7);
  return QIcon(pixmap);
}

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace korvel
