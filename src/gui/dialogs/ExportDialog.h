#pragma once
// ExportDialog: the export dialog. The user picks the output format, the layout and the
// output file; "出力実行(&R)" checks the choice, asks before replacing a file and before a
// long XML export (never before a long CSV or Excel(.xlsx) one), and writes the file through
// export/ExportDriver.h. The dialog stays open after every export (and after every refusal or
// failure) until the user closes it, so that several exports can be made in one showing.
//
// Use: construct it over the result to export, then exec() it and let it go out of scope:
//
//   ExportDialog dialog(source, this);
//   dialog.exec();
//
// The source is read, never changed; it must outlive the dialog and must not change while
// the dialog is shown. It presents what the main window shows (the pairs in view, so an
// active extraction limits the export, and the compared fields); the two compared files'
// paths, written by the CSV per-sheet layout, come from ExportSource::Path too.
//
// The engine's questions and outcomes are shown as boxes through the program's notifier
// (qt/QtNotifier.h: WindowPrompter, ShowOutcome), and every file call goes through
// platform/FileSystem.h. The file picker behind the browse button is replaceable
// (SetSaveDialog), so that tests never open a real one.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "export/ExportDriver.h"
#include "export/ExportSource.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace korvel {

// What the browse button asks the file picker for.
struct SaveDialogRequest {
  // Qt name filters, in the order of the program's filter list (see ToQtNameFilters).
  QStringList nameFilters;
  // 1-based index into nameFilters of the filter shown first: 2 (CSV) when CSV is chosen,
  // 4 (Excel ブック) when Excel(.xlsx) is, else 1 (XML).
  int filterIndex = 1;
  // The folder the picker opens in: the output path's folder when it exists, else the
  // folder of the last save in this run of the program; empty: where Qt would open it.
  QString directory;
  // The name the last browse of this showing picked; empty the first time.
  QString fileName;
};

// Shows a save-file picker for `request` over `parent`; returns the chosen path, or an
// empty text when the user cancelled.
using SaveDialogFunction =
    std::function<QString(QWidget* parent, const SaveDialogRequest& request)>;

// Turns a "description|pattern|description|pattern..." filter into Qt name filters, one
// per pair: "description (patterns)", where several patterns separated by ';' become a
// space-separated list and "*.*" (every file) becomes "*". The description is kept whole,
// so a picker told to hide the filters' details (QFileDialog::HideNameFilterDetails) shows
// exactly the program's own texts. A trailing description without a pattern is dropped.
QStringList ToQtNameFilters(const QString& filter);

// The picker the dialog uses unless told otherwise: a QFileDialog in save mode that does
// not ask about replacing a file (the export asks that itself).
QString ShowSaveFileDialog(QWidget* parent, const SaveDialogRequest& request);

class ExportDialog : public QDialog {
  Q_OBJECT

 public:
  // `source` is not owned and must outlive the dialog. The dialog starts with XML and
  // "項目毎交互" chosen and an empty output path.
  explicit ExportDialog(const ExportSource& source, QWidget* parent = nullptr);

  // Replaces the file picker of the browse button (a null function restores the default).
  void SetSaveDialog(SaveDialogFunction saveDialog);

  // The chosen format and layout, read from the radio buttons.
  ExportFormat Format() const;
  ExportLayout Layout() const;

  // The controls, owned by the dialog; reachable so that the caller and the tests can
  // drive them as a user would.
  QGroupBox* grp_ExpFormat;
  QRadioButton* rdo_ExpFormatXML;
  QRadioButton* rdo_ExpFormatCSV;
  QRadioButton* rdo_ExpFormatXLSX;
  QGroupBox* grp_ExpKind;
  QRadioButton* rdo_ExpKindSheet;
  QRadioButton* rdo_ExpKindCol;
  QRadioButton* rdo_ExpKindRow;
  QLabel* Label1;
  QLineEdit* txt_Path;
  QToolButton* cmd_PathA;
  QPushButton* cmd_Run;
  QPushButton* cmd_Cancel;

 private:
  void BuildFormatGroup();
  void BuildLayoutGroup();
  void BuildPathRow();
  void BuildButtons();
  void SetTabOrder();
  void CentreOnScreen();

  void rdo_ExpFormatXMLClick();
  void rdo_ExpFormatCSVClick();
  void rdo_ExpFormatXLSXClick();
  void cmd_PathAClick();
  void cmd_RunClick();
  void cmd_CancelClick();

  // Gives the path in txt_Path the extension of the chosen format; an empty path stays
  // empty.
  void ChangeFormatExtension();
  // The path in txt_Path as the file system spells it (UTF-8).
  std::string OutputPath() const;

  const ExportSource& source_;
  SaveDialogFunction saveDialog_;
  QString lastPicked_;
};

}  // namespace korvel
