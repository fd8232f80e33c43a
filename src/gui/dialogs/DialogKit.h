#pragma once
// Pieces shared by the set-up dialogs and the options dialog: their fonts, the fixed-size
// client area with controls placed at fixed pixel positions, centring on the screen, and
// the conversion of paths between QString and the file system's own bytes.
//
// Every dialog of the set-up chain is laid out the same way: a fixed client size and each
// control at its own rectangle, so that the dialogs keep their familiar arrangement.

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <string>

class QGroupBox;
class QRadioButton;

namespace korvel {

// The dialogs' proportional Japanese face, 12 pixels high.
QFont DialogFont();
// The fixed-pitch Japanese face of previews, `pixelSize` pixels high.
QFont FixedPitchFont(int pixelSize);

// Gives `dialog` its title, a fixed client area of `width` x `height` pixels, the dialog
// font and a border with only the close box.
void SetUpFixedDialog(QDialog* dialog, const QString& title, int width, int height);

// Moves `window` so that it is centred on the screen it is on (or the primary one).
void CenterOnScreen(QWidget* window);

// Creates a control of type T as a child of `parent` (which owns it), names it, and puts it
// at `rect`. A rectangle with a width or height of 0 takes the control's natural size for
// that dimension.
template <class T>
T* PlaceControl(QWidget* parent, const char* objectName, QRect rect) {
  auto* control = new T(parent);
  control->setObjectName(QString::fromLatin1(objectName));
  if (rect.width() <= 0 || rect.height() <= 0) {
    QSize hint = control->sizeHint();
    if (rect.width() <= 0) rect.setWidth(hint.width());
    if (rect.height() <= 0) rect.setHeight(hint.height());
  }
  control->setGeometry(rect);
  return control;
}

// Widens `widget` to its natural width when its text would not fit the given width.
void FitWidth(QWidget* widget);

// Paths are kept as the file system's own bytes (std::string); the windows show them as
// QString.
QString PathToQString(const std::string& path);
std::string QStringToPath(const QString& path);

// Sets the busy cursor for the lifetime of the object.
// A group box whose caption sits on its top border, so that controls placed 16 pixels down
// are inside the frame whatever style draws the window.
void PutCaptionOnBorder(QGroupBox* group);

// Tab enters a group of radio buttons at its chosen button rather than at its first one;
// the arrow keys move within the group.
void KeepTabStopOnChecked(QRadioButton* radio);

// The small closed folder of the browse buttons, drawn so that no picture files are needed.
QIcon FolderIcon();

class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace korvel
