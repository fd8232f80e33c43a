#include "mainwindow/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <optional>

#include "dialogs/DialogKit.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/ProgressDialog.h"
#include "grid/CaptionText.h"
#include "grid/StatusTexts.h"
#include "mainwindow/SetUpCommands.h"
#include "mainwindow/ToolIcons.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {

const QColor MainWindow::HeaderColor(192, 192, 192);
const QColor MainWindow::LeftDiffColor(250, 242, 0);
const QColor MainWindow::RightDiffColor(155, 240, 240);
const QColor MainWindow::MissingColor(150, 150, 150);
const QColor MainWindow::NotComparedColor(200, 200, 200);

namespace {

constexpr int kToolBarHeight = 28;
constexpr int kStripSize = 16;
constexpr int kStatusBarHeight = 20;
constexpr int kFirstPanelWidth = 70;
constexpr int kTimerStart = 700;

QFont GridFontFor() {
  QFont font(Q("Noto Sans Mono CJK JP"));
  font.setPixelSize(12);
  font.setFixedPitch(true);
  font.setStyleHint(QFont::Monospace);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

QWidget* Spacer(QWidget* parent, int width) {
  auto* spacer = new QWidget(parent);
  spacer->setFixedWidth(width);
  return spacer;
}

}  // namespace

// ---- PaintBox and KeyBar ----------------------------------------------------------------

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

void PaintBox::paintEvent(QPaintEvent* event) {
  if (image_ == nullptr || image_->isNull()) return;
  QPainter p(this);
  const QRect r = event->rect();
  p.drawImage(r.topLeft(), *image_, r);
}

void PaintBox::mousePressEvent(QMouseEvent* event) { Q_EMIT Pressed(event); }
void PaintBox::mouseMoveEvent(QMouseEvent* event) { Q_EMIT Moved(event); }
void PaintBox::mouseReleaseEvent(QMouseEvent* event) { Q_EMIT Released(event); }
void PaintBox::wheelEvent(QWheelEvent* event) { Q_EMIT Wheeled(event); }
void PaintBox::resizeEvent(QResizeEvent*) { Q_EMIT Resized(); }

KeyBar::KeyBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::StrongFocus);
}

void KeyBar::keyPressEvent(QKeyEvent* event) {
  // The bar never scrolls itself: it only carries the grid's keys.
  Q_EMIT KeyPressed(event);
  event->accept();
}

// ---- Creation -------------------------------------------------------------------------

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      global_(std::make_unique<SettingsStore>(&WindowPrompter())),
      gridFont_(GridFontFor()) {
  global_->LoadSettings();
  session_->EditSettings().Encoding = global_->GetReadingEncoding();
  session_->EditSettings().DetectBom = global_->GetDetectBom();
  openHelpPage_ = [this](const std::string& path) { OpenHelpPage(path, this); };
  QFont windowFont(Q("Noto Sans CJK JP"));
  windowFont.setPixelSize(12);
  setFont(windowFont);
  setWindowTitle(Q("KORVEL"));
  setAcceptDrops(true);

  QFontMetrics metrics(gridFont_);
  charWidth_ = metrics.horizontalAdvance(QLatin1Char('W'));
  charHeight_ = metrics.height();
  gridAscent_ = metrics.ascent();
  rows_ = RowMetricsFor(metrics.ascent(), metrics.descent());

  QSize screen(1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
  backBuffer_ = QImage(screen.width() + 50, screen.height() + 50, QImage::Format_RGB32);
  backBuffer_.fill(Qt::white);
  screen_ = backBuffer_.copy();

  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreatePopup();
  CreateClientArea();
  CreateStatusBar();
  CreateFieldSummary();

  timer_ = new QTimer(this);
  timer_->setInterval(kTimerStart);
  connect(timer_, &QTimer::timeout, this, &MainWindow::Timer1Timer);

  resize(kWindowWidth, kWindowHeight);
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->availableGeometry().center() - rect().center());
  }
  RestorePlace();
  splitX_ = paiMain_->width() / 2;
  FillRecentMenu();
  InstallSetUpCommands(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::SetCommands(std::function<void()> runComparison, std::function<void()> reGrid) {
  runComparison_ = std::move(runComparison);
  reGrid_ = std::move(reGrid);
}

void MainWindow::SetHelpOpener(std::function<void(const std::string& path)> open) {
  openHelpPage_ = std::move(open);
}

MainWindow::ViewState MainWindow::View() const {
  ViewState view;
  view.curSide = curSide_;
  view.curCol = curCol_;
  view.curRow = curRow_;
  view.selSide = selSide_;
  view.selAnchorCol = selAnchorCol_;
  view.selAnchorRow = selAnchorRow_;
  view.selEndCol = selEndCol_;
  view.selEndRow = selEndRow_;
  view.shownSel = shownSel_;
  view.hitColumn = hitColumn_;
  view.hitSide = hitSide_;
  view.dragMode = dragMode_;
  view.resizeTarget = resizeTarget_;
  view.resizeMinX = resizeMinX_;
  view.resizeX = resizeX_;
  view.autoScrollV = autoScrollV_;
  view.autoScrollH = autoScrollH_;
  view.firstRow = FirstRow();
  view.hpos = scrBottom_->value();
  view.visibleRows = VisibleRowCount();
  view.gridBottom = GridBottom();
  view.splitX = splitX_;
  view.keyEndX = keyEndX_;
  const GridFrame frame = Frame();
  view.widths = frame.widths;
  view.leftX = frame.leftX;
  view.rightX = frame.rightX;
  view.copyWithHeader = copyWithHeader_;
  view.copyWithMarks = copyWithMarks_;
  view.findText = findText_;
  view.findMode = findMode_;
  view.dropCount = dropCount_;
  view.dropPathL = dropPathL_;
  view.dropPathR = dropPathR_;
  view.charWidth = charWidth_;
  view.charHeight = charHeight_;
  view.rows = rows_;
  if (shownModel_) view.shownFields = shownModel_->Shown();
  return view;
}

QAction* MainWindow::AddAction(const char* name, const char* caption) {
  auto* action = new QAction(Q(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  actions_.push_back(action);
  return action;
}

QAction* MainWindow::Action(const char* name) const {
  const QString wanted = QString::fromLatin1(name);
  for (QAction* action : actions_) {
    if (action->objectName() == wanted) return action;
  }
  return nullptr;
}

void MainWindow::CreateActions() {
  connect(AddAction("mnuFileOpen", "比較ファイル選択(&I)..."), &QAction::triggered, this,
          &MainWindow::mnuFileOpenClick);
  connect(AddAction("mnuFileExport", "結果エクスポート(&E)..."), &QAction::triggered, this,
          &MainWindow::mnuFileExportClick);
  connect(AddAction("mnuFileReport", "差分レポート(&R)..."), &QAction::triggered, this,
          &MainWindow::mnuFileReportClick);
  connect(AddAction("mnuFileReGrid", "項目再設定(&F)..."), &QAction::triggered, this,
          &MainWindow::mnuFileReGridClick);
  connect(AddAction("mnuFileExit", "終了(&Q)"), &QAction::triggered, this, &MainWindow::close);

  QAction* copy = AddAction("mnuEditCopy", "選択範囲の内容をコピー(&C)");
  copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  connect(copy, &QAction::triggered, this, &MainWindow::mnuEditCopyClick);
  connect(AddAction("mnuEditCopyGyaku", "選択範囲の相対側の内容コピー(&A)"), &QAction::triggered,
          this, &MainWindow::mnuEditCopyGyakuClick);
  QAction* head = AddAction("mnuEditCopyHead", "ヘッダ名を付けてコピー(&H)");
  head->setCheckable(true);
  connect(head, &QAction::triggered, this, &MainWindow::mnuEditCopyHeadClick);
  QAction* mark = AddAction("mnuEditCopyMark", "相違にマークを付けてコピー(&M)");
  mark->setCheckable(true);
  connect(mark, &QAction::triggered, this, &MainWindow::mnuEditCopyMarkClick);
  connect(AddAction("mnuEditCopyRow", "カーソル行の比較コピー(&D)"), &QAction::triggered, this,
          &MainWindow::mnuEditCopyRowClick);

  QAction* find = AddAction("mnuFindFind", "検索(&S)");
  find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  connect(find, &QAction::triggered, this, [this] { FindNext(0); });
  QAction* findUp = AddAction("mnuFindFindUp", "上検索(&U)");
  findUp->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  connect(findUp, &QAction::triggered, this, [this] { FindNext(-1); });
  QAction* findDown = AddAction("mnuFindFindDown", "下検索(&D)");
  findDown->setShortcut(QKeySequence(Qt::Key_F3));
  connect(findDown, &QAction::triggered, this, [this] { FindNext(1); });
  connect(AddAction("mnuFindSelDf", "相違分を抽出(&I)"), &QAction::triggered, this,
          &MainWindow::mnuFindSelDfClick);
  connect(AddAction("mnuFindSelDfAll", "相違分（『右のみ』『左のみ』含む）を抽出(&A)"),
          &QAction::triggered, this, &MainWindow::mnuFindSelDfAllClick);
  connect(AddAction("mnuFindSelDfNon", "相違なし分を抽出(&N)"), &QAction::triggered, this,
          &MainWindow::mnuFindSelDfNonClick);
  connect(AddAction("mnuFindSelOut", "抽出の解除(&E)"), &QAction::triggered, this,
          &MainWindow::ReleaseExtraction);

  AddAction("mnuViewFieldSummary", "項目別相違件数(&F)")->setCheckable(true);
  AddAction("mnuViewHideSame", "相違のない項目を隠す(&H)")->setCheckable(true);

  connect(AddAction("mnuHelpHelp", "ヘルプ(&H)"), &QAction::triggered, this,
          &MainWindow::mnuHelpHelpClick);
  connect(AddAction("mnuHelpAbout", "バージョン情報(&A)..."), &QAction::triggered, this,
          &MainWindow::mnuHelpAboutClick);
}

void MainWindow::CreateMenus() {
  auto separator = [this](QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    actions_.push_back(action);
  };
  auto menu = [this](const char* name, const char* caption) {
    QMenu* m = menuBar()->addMenu(Q(caption));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    actions_.push_back(m->menuAction());
    return m;
  };

  QMenu* file = menu("mnuFile", "ファイル(&F)");
  file->addAction(Action("mnuFileOpen"));
  recentMenu_ = file->addMenu(Q("最近使ったファイル"));
  recentMenu_->setObjectName(QStringLiteral("mnuFileRecent"));
  recentMenu_->menuAction()->setObjectName(QStringLiteral("mnuFileRecent"));
  actions_.push_back(recentMenu_->menuAction());
  file->addAction(Action("mnuFileExport"));
  file->addAction(Action("mnuFileReport"));
  separator(file, "N4");
  file->addAction(Action("mnuFileReGrid"));
  separator(file, "N1");
  file->addAction(Action("mnuFileExit"));

  QMenu* edit = menu("mnuEdit", "編集(&E)");
  edit->addAction(Action("mnuEditCopy"));
  edit->addAction(Action("mnuEditCopyGyaku"));
  separator(edit, "N5");
  edit->addAction(Action("mnuEditCopyHead"));
  edit->addAction(Action("mnuEditCopyMark"));
  separator(edit, "N6");
  edit->addAction(Action("mnuEditCopyRow"));
  connect(edit, &QMenu::aboutToShow, this, [this] {
    Action("mnuEditCopyHead")->setChecked(copyWithHeader_);
    Action("mnuEditCopyMark")->setChecked(copyWithMarks_);
  });

  QMenu* search = menu("mnuFind", "検索(&S)");
  search->addAction(Action("mnuFindFind"));
  search->addAction(Action("mnuFindFindUp"));
  search->addAction(Action("mnuFindFindDown"));
  separator(search, "N3");
  search->addAction(Action("mnuFindSelDf"));
  search->addAction(Action("mnuFindSelDfAll"));
  search->addAction(Action("mnuFindSelDfNon"));
  separator(search, "N7");
  search->addAction(Action("mnuFindSelOut"));
  connect(search, &QMenu::aboutToShow, this,
          [this] { Action("mnuFindSelOut")->setEnabled(ExtractActive()); });

  QMenu* view = menu("mnuView", "表示(&V)");
  view->addAction(Action("mnuViewFieldSummary"));
  view->addAction(Action("mnuViewHideSame"));

  QMenu* help = menu("mnuHelp", "ヘルプ(&H)");
  help->addAction(Action("mnuHelpHelp"));
  help->addAction(Action("mnuHelpAbout"));
}

void MainWindow::CreateToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setFixedHeight(kToolBarHeight);
  toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolBar_->setCursor(Qt::ArrowCursor);
  addToolBar(Qt::TopToolBarArea, toolBar_);

  auto button = [this](const char* name, ToolImage image, const char* hint) {
    auto* action = new QAction(MakeToolIcon(image), hint ? Q(hint) : QString(), this);
    action->setObjectName(QString::fromLatin1(name));
    if (hint) action->setToolTip(Q(hint));
    actions_.push_back(action);
    toolBar_->addAction(action);
    return action;
  };
  connect(button("tb_FileOpen", ToolImage::kOpen, "比較ファイル選択"), &QAction::triggered, this,
          &MainWindow::mnuFileOpenClick);
  QAction* reset = button("tb_Reset", ToolImage::kReset, "項目再設定");
  reset->setEnabled(false);
  connect(reset, &QAction::triggered, this, &MainWindow::mnuFileReGridClick);
  connect(button("tb_FileExp", ToolImage::kExport, "結果エクスポート"), &QAction::triggered, this,
          &MainWindow::mnuFileExportClick);
  toolBar_->addWidget(Spacer(toolBar_, 8));
  connect(button("tb_FindUp", ToolImage::kUp, "上検索"), &QAction::triggered, this,
          [this] { JumpToDiff(Direction::kUp); });
  connect(button("tb_FindDown", ToolImage::kDown, "下検索"), &QAction::triggered, this,
          [this] { JumpToDiff(Direction::kDown); });
  toolBar_->addWidget(Spacer(toolBar_, 8));
  QAction* head = button("tb_CopyHead", ToolImage::kCopyHead, nullptr);
  head->setCheckable(true);
  connect(head, &QAction::toggled, this, [this](bool down) {
    copyWithHeader_ = down;
    Action("mnuEditCopyHead")->setChecked(down);
  });
  QAction* mark = button("tb_CopyMark", ToolImage::kCopyMark, nullptr);
  mark->setCheckable(true);
  connect(mark, &QAction::toggled, this, [this](bool down) {
    copyWithMarks_ = down;
    Action("mnuEditCopyMark")->setChecked(down);
  });
  toolBar_->addWidget(Spacer(toolBar_, 8));
  button("tb_FieldSummary", ToolImage::kFieldSummary, "項目別相違件数")->setCheckable(true);
  button("tb_HideSame", ToolImage::kHideSame, "相違のない項目を隠す")->setCheckable(true);
}

void MainWindow::CreatePopup() {
  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("PopupMenu"));
  auto item = [this](const char* name, const char* caption) {
    QAction* action = AddAction(name, caption);
    popup_->addAction(action);
    return action;
  };
  connect(item("mnusDfSel", ""), &QAction::triggered, this, [this] { RunExtraction(1); });
  connect(item("mnusDfNon", ""), &QAction::triggered, this, [this] { RunExtraction(0); });
  connect(item("mnusDfSelL", "『左のみ』の抽出(&L)"), &QAction::triggered, this,
          [this] { RunExtractionByStatus(-2); });
  connect(item("mnusDfSelR", "『右のみ』の抽出(&R)"), &QAction::triggered, this,
          [this] { RunExtractionByStatus(-3); });
  QAction* n2 = popup_->addSeparator();
  n2->setObjectName(QStringLiteral("N2"));
  actions_.push_back(n2);
  connect(item("mnusDfSelOut", "抽出の解除"), &QAction::triggered, this,
          &MainWindow::ReleaseExtraction);
}

void MainWindow::CreateClientArea() {
  auto* client = new QWidget(this);
  auto* grid = new QGridLayout(client);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);

  paiMain_ = new PaintBox(client);
  paiMain_->setObjectName(QStringLiteral("paiMain"));
  paiMain_->SetImage(&screen_);
  connect(paiMain_, &PaintBox::Pressed, this, &MainWindow::paiMainMouseDown);
  connect(paiMain_, &PaintBox::Moved, this, &MainWindow::paiMainMouseMove);
  connect(paiMain_, &PaintBox::Released, this, &MainWindow::paiMainMouseUp);
  connect(paiMain_, &PaintBox::Resized, this, &MainWindow::FormResize);
  connect(paiMain_, &PaintBox::Wheeled, this, &MainWindow::wheelEvent);
  grid->addWidget(paiMain_, 0, 0);

  auto* panel2 = new QWidget(client);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setFixedWidth(kStripSize);
  auto* panel2Layout = new QHBoxLayout(panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  scrRight_ = new QScrollBar(Qt::Vertical, panel2);
  scrRight_->setObjectName(QStringLiteral("scr_Right"));
  scrRight_->setFocusPolicy(Qt::NoFocus);
  scrRight_->setFixedWidth(kStripSize);
  scrRight_->setEnabled(false);
  panel2Layout->addWidget(scrRight_);
  grid->addWidget(panel2, 0, 1);

  auto* panel1 = new QWidget(client);
  panel1->setObjectName(QStringLiteral("Panel1"));
  panel1->setFixedHeight(kStripSize);
  auto* panel1Layout = new QHBoxLayout(panel1);
  panel1Layout->setContentsMargins(0, 0, 0, 0);
  panel1Layout->setSpacing(0);
  // The focus holder lies under the horizontal bar: present, able to take the focus, unseen.
  scrTab_ = new KeyBar(panel1);
  scrTab_->setObjectName(QStringLiteral("scr_Tab"));
  scrTab_->setGeometry(3, 0, 54, 17);
  connect(scrTab_, &KeyBar::KeyPressed, this, &MainWindow::scr_TabKeyDown);
  scrBottom_ = new QScrollBar(Qt::Horizontal, panel1);
  scrBottom_->setObjectName(QStringLiteral("scr_Bottom"));
  scrBottom_->setFocusPolicy(Qt::NoFocus);
  scrBottom_->setFixedHeight(kStripSize);
  scrBottom_->setRange(0, 1);
  scrBottom_->setEnabled(false);
  panel1Layout->addWidget(scrBottom_);
  auto* panel3 = new QWidget(panel1);
  panel3->setObjectName(QStringLiteral("Panel3"));
  panel3->setFixedSize(kStripSize, kStripSize);
  panel1Layout->addWidget(panel3);
  scrTab_->lower();
  grid->addWidget(panel1, 1, 0, 1, 2);

  connect(scrRight_, &QScrollBar::valueChanged, this, &MainWindow::ScrollChanged);
  connect(scrBottom_, &QScrollBar::valueChanged, this, &MainWindow::ScrollChanged);
  setCentralWidget(client);
}

void MainWindow::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setFixedHeight(kStatusBarHeight);
  bar->setSizeGripEnabled(false);
  panel0_ = new QLabel(bar);
  panel0_->setFixedWidth(kFirstPanelWidth);
  panel1_ = new QLabel(bar);
  bar->addWidget(panel0_);
  bar->addWidget(panel1_, 1);
}

// ---- Caption, status bar ------------------------------------------------------------------

void MainWindow::SetCaption(const std::string& status) {
  setWindowTitle(ToQString(
      BuildCaption(status, session_->ResultPath(Side::kLeft), session_->ResultPath(Side::kRight))));
}

void MainWindow::ShowEncodings(int encodingL, int encodingR) {
  panel0_->setText(ToQString(EncodingsText(encodingL, encodingR)));
}

void MainWindow::SetSummary(const std::string& text) { panel1_->setText(ToQString(text)); }

void MainWindow::ClearStatus() {
  panel0_->clear();
  panel1_->clear();
}

void MainWindow::EnableReset(bool enabled) { Action("tb_Reset")->setEnabled(enabled); }

void MainWindow::Beep() { korvel::Beep(); }

// ---- Commands -----------------------------------------------------------------------------

void MainWindow::mnuFileOpenClick() {
  if (runComparison_) runComparison_();
}

void MainWindow::mnuFileExportClick() {
  // The export reads what is shown: an active extraction is what gets exported.
  ExportDialog dialog(*exportSource_, this);
  dialog.exec();
}

void MainWindow::mnuFileReGridClick() {
  if (reGrid_) reGrid_();
}

void MainWindow::mnuEditCopyHeadClick() {
  copyWithHeader_ = !copyWithHeader_;
  Action("mnuEditCopyHead")->setChecked(copyWithHeader_);
  Action("tb_CopyHead")->setChecked(copyWithHeader_);
}

void MainWindow::mnuEditCopyMarkClick() {
  copyWithMarks_ = !copyWithMarks_;
  Action("mnuEditCopyMark")->setChecked(copyWithMarks_);
  Action("tb_CopyMark")->setChecked(copyWithMarks_);
}

void MainWindow::mnuFindSelDfClick() {
  hitColumn_ = kDiffColumn;
  RunExtraction(1);
}

void MainWindow::mnuFindSelDfAllClick() {
  hitColumn_ = kRowNumberColumn;
  RunExtraction(1);
}

void MainWindow::mnuFindSelDfNonClick() {
  hitColumn_ = kDiffColumn;
  RunExtraction(0);
}

void MainWindow::mnuHelpHelpClick() {
  if (ShowOutcome(global_->CheckHelp()) && openHelpPage_) openHelpPage_(global_->HelpPath());
}

namespace {
// What a window frame takes beside its caption: the icon and the three title buttons.
constexpr int kCaptionFrameAllowance = 120;
}  // namespace

void MainWindow::mnuHelpAboutClick() {
  QMessageBox about(QMessageBox::Information, Q("バージョン情報"),
                    Q("KORVEL\nバージョン ") + QCoreApplication::applicationVersion(),
                    QMessageBox::Ok, this);
  about.setObjectName(QStringLiteral("AboutBox"));
  // A message box sizes itself to its text, not to its caption: on a desktop that puts the
  // caption in the frame, "バージョン情報" was cut short. Room for the caption, the frame's
  // icon and its buttons.
  if (auto* grid = qobject_cast<QGridLayout*>(about.layout())) {
    const int captionWidth = about.fontMetrics().horizontalAdvance(about.windowTitle());
    grid->addItem(new QSpacerItem(captionWidth + kCaptionFrameAllowance, 0, QSizePolicy::Minimum,
                                  QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  about.exec();
}

void MainWindow::ShowHeaderPopup(int x, int y) {
  HeaderHit hit = HitHeader(Frame(), x);
  if (!hit.hit) return;
  hitColumn_ = hit.column;
  hitSide_ = hit.side;
  std::string_view name;
  if (model_ != nullptr && hitColumn_ >= 0 && hitColumn_ < model_->FieldCount()) {
    name = model_->Field(hitColumn_).Name;
  }
  QAction* diff = Action("mnusDfSel");
  QAction* same = Action("mnusDfNon");
  diff->setText(ToQString(PopupDiffCaption(hitColumn_, name)));
  same->setText(ToQString(PopupSameCaption(hitColumn_, name)));
  diff->setEnabled(true);
  same->setEnabled(true);
  Action("mnusDfSelOut")->setEnabled(ExtractActive());
  // The menu's corner: the window's outer corner plus the paint box's place in the area
  // under the menu bar plus the mouse, 52 pixels lower.
  const QPoint box = paiMain_->mapTo(this, QPoint(0, 0));
  const int boxTop = box.y() - (menuBar() != nullptr ? menuBar()->height() : 0);
  const QRect frame = frameGeometry();
  popup_->popup(QPoint(frame.x() + box.x() + x, frame.y() + boxTop + y + 52));
}

// ---- Drops, resize, activation, close ---------------------------------------------------

void MainWindow::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  for (const std::string& path : paths) {
    if (dropCount_ == 0) {
      dropPathL_ = path;
      dropCount_ = 1;
      continue;
    }
    dropPathR_ = path;
    ++dropCount_;
    break;
  }
  if (dropCount_ > 1) {
    raise();
    activateWindow();
    mnuFileOpenClick();
  }
}

bool MainWindow::TakeDroppedPaths(std::string& pathL, std::string& pathR) {
  if (dropCount_ < 2) return false;
  pathL = dropPathL_;
  pathR = dropPathR_;
  dropCount_ = 0;
  return true;
}

// ---- What was used last ------------------------------------------------------------------

void MainWindow::RememberPair() {
  if (const std::optional<RecentEntry> entry = RecentEntryOf(session_->Settings())) {
    global_->AddRecent(*entry);
    FillRecentMenu();
  }
}

void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  const std::vector<RecentEntry>& list = global_->Recent();
  // A path may hold '&', which a menu would take for a mnemonic.
  auto shown = [](const std::string& path) {
    return PathToQString(path).replace(QLatin1Char('&'), QStringLiteral("&&"));
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    const RecentEntry entry = list[i];
    const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
    QAction* item = recentMenu_->addAction(number + Q(" 【左】") + shown(entry.PathL) +
                                           Q(" - 【右】") + shown(entry.PathR));
    item->setObjectName(QStringLiteral("mnuFileRecent%1").arg(i + 1));
    connect(item, &QAction::triggered, this, [this, entry] {
      OpenPreset([&entry](CompareSettings& settings) { ApplyRecentEntry(entry, settings); });
    });
  }
  recentMenu_->menuAction()->setEnabled(!list.empty());
}

void MainWindow::OpenPreset(const std::function<void(CompareSettings&)>& preset) {
  preset(session_->EditSettings());
  raise();
  activateWindow();
  mnuFileOpenClick();
}

void MainWindow::RestorePlace() {
  const std::optional<WindowPlace>& place = global_->GetWindowPlace();
  if (!place) return;
  resize(place->Width, place->Height);
  std::vector<ScreenArea> screens;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->geometry();
    screens.push_back({area.x(), area.y(), area.width(), area.height()});
  }
  if (PlaceIsOnScreen(*place, screens)) {
    move(place->X, place->Y);
  } else if (QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->availableGeometry().center() - rect().center());
  }
  preferredSplit_ = place->Split;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  event->acceptProposedAction();
  DropFiles(paths);
}

void MainWindow::FormResize() {
  const QRect outer = frameGeometry();
  if (backBuffer_.width() < outer.width() || backBuffer_.height() < outer.height()) {
    backBuffer_ = QImage(outer.width() + 10, outer.height() + 10, QImage::Format_RGB32);
    backBuffer_.fill(Qt::white);
    screen_ = backBuffer_.copy();
  }
  ResetRowScroll();
  // A resize by the user puts the splitter back by the grid's rule; the window's first layout
  // keeps the one the settings brought back.
  const int width = paiMain_->width();
  if (laidOutWidth_ > 0 && width != laidOutWidth_) preferredSplit_ = 0;
  laidOutWidth_ = width;
  ResetSplit();
  FullRepaint();
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) scrTab_->setFocus();
  QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  timer_->stop();
  // Only the reading choices outlive the program; a failed write is not reported, but a
  // program with no folder for its settings says so, once.
  global_->SetReadingEncoding(session_->Settings().Encoding);
  global_->SetDetectBom(session_->Settings().DetectBom);
  // A maximised window comes back at its normal size, not covering the screen for good.
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
  global_->SetWindowPlace(
      {normal.x(), normal.y(), normal.width(), normal.height(), preferredSplit_});
  static bool refusalShown = false;
  if (!global_->SaveSettings() && !refusalShown && !global_->SaveRefusal().empty()) {
    refusalShown = true;
    Warn(global_->SaveRefusal());
  }
  event->accept();
}

// ---- Scroll ranges and the splitter -----------------------------------------------------

void MainWindow::ResetSplit() {
  if (preferredSplit_ > 0 && preferredSplit_ < paiMain_->width()) {
    splitX_ = preferredSplit_;
    return;
  }
  GridFrame frame = Frame();
  splitX_ = ResetSplitX(frame.widths, frame.keyCount, paiMain_->width());
}

void MainWindow::ResetRowScroll() {
  paintLock_ = true;
  const int n = model_ != nullptr ? model_->RowCount() : 0;
  RowScrollRange range = RowScrollFor(n, paiMain_->height(), rows_);
  scrRight_->setValue(0);
  scrRight_->setRange(0, range.LastPosition());
  scrRight_->setPageStep(range.enabled ? range.pageSize : 1);
  scrRight_->setEnabled(range.enabled);
  paintLock_ = false;
}

void MainWindow::ResetColumnScroll() {
  paintLock_ = true;
  const int f = model_ != nullptr ? model_->FieldCount() : 0;
  scrBottom_->setValue(0);
  scrBottom_->setRange(0, f > 1 ? f - 1 : 1);
  scrBottom_->setEnabled(f > 1);
  paintLock_ = false;
}

void MainWindow::ScrollChanged() {
  if (!paintLock_) FullRepaint();
}

int MainWindow::VisibleRowCount() const { return VisibleRows(paiMain_->height(), rows_); }

int MainWindow::GridBottom() const { return paiMain_->height() - rows_.detailHeight; }

int MainWindow::FirstRow() const { return scrRight_->value(); }

GridFrame MainWindow::Frame() const {
  GridFrame frame;
  frame.splitX = splitX_;
  frame.width = paiMain_->width();
  frame.hpos = scrBottom_->value();
  frame.keyEndX = keyEndX_;
  if (model_ == nullptr) return frame;
  const int n = model_->FieldCount();
  frame.keyCount = model_->KeyCount();
  columns_.FillFrame(frame, n);
  return frame;
}

NavigationSource MainWindow::Navigation() const {
  NavigationSource source;
  if (model_ == nullptr) return source;
  GridModel* model = model_;
  source.rowCount = model->RowCount();
  source.fieldCount = model->FieldCount();
  source.status = [model](int row) { return model->Pair(row).Status; };
  source.cellsDiffer = [model](int row, int field) {
    return model->CellsDiffer(model->Pair(row), field);
  };
  return source;
}

}  // namespace korvel

namespace korvel {

// ---- Showing a comparison ------------------------------------------------------------------

void MainWindow::AdoptSession(std::unique_ptr<CompareSession> next) {
  auto gridModel = std::make_unique<SessionGridModel>(*next);
  auto exportSource = std::make_unique<SessionExportSource>(*next);
  model_ = gridModel.get();
  shownModel_.reset();
  gridModel_ = std::move(gridModel);
  exportSource_ = std::move(exportSource);
  session_ = std::move(next);
}

int MainWindow::CompareAndShow(const FieldGrid& grid) {
  auto next = std::make_unique<CompareSession>();
  next->CopySetUp(*session_);
  CompareSession* run = next.get();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::optional<Status> outcome = RunWithProgress(
      this, [run, &grid](Progress& progress) { return run->CompareSides(grid, progress); });
  QApplication::restoreOverrideCursor();
  if (!outcome) return CompareSession::kCancelled;
  const Status& result = *outcome;
  // Even a failed run replaces the shown one: what was shown belongs to other settings.
  AdoptSession(std::move(next));
  // The run's messages come first, before the grid shows its result or its emptiness.
  if (!ShowOutcome(result)) {
    ShowEmptyResult();
    return result.Code();
  }
  columns_.Measure(session_->Fields(), session_->LeftTable(), charWidth_, &session_->RightTable());
  ResetCursor();
  ResetSplit();
  SetSummary(session_->SummaryText() + session_->DuplicateKeyText() + session_->WarningCountText());
  ShowEncodings(session_->EncodingL(), session_->EncodingR());
  SetCaption("");
  ResetRowScroll();
  ResetColumnScroll();
  EnableReset(true);
  FullRepaint();
  ShowReadingWarnings();
  return result.Code();
}

void MainWindow::ShowReadingWarnings() {
  // They qualify the result the user now sees, so they come after it, all in one box.
  std::string text;
  for (const std::string& warning : session_->ReadingWarningMessages()) {
    if (!text.empty()) text += '\n';
    text += warning;
  }
  if (!text.empty()) (void)ShowOutcome(Status::Warning(0, text));
}

void MainWindow::ShowReclassified() {
  ResetCursor();
  ResetSplit();
  SetSummary(session_->SummaryText() + session_->DuplicateKeyText() + session_->WarningCountText());
  SetCaption("");
  ResetRowScroll();
  ResetColumnScroll();
  FullRepaint();
}

void MainWindow::ShowEmptyResult() {
  columns_.Clear();
  ResetCursor();
  ClearStatus();
  ResetRowScroll();
  ResetColumnScroll();
  FullRepaint();
}

void MainWindow::ResetCursor() {
  // Every fresh list starts as the program does: the cursor on the first cell of the left
  // pane, and the selection anchored there, so that Shift and an arrow select at once and
  // the copy finds the cell. A failed run is no exception: a cursor that belongs to neither
  // pane would be drawn in the wrong colours and send copy and search to the right file.
  curSide_ = 1;
  curCol_ = 0;
  curRow_ = 0;
  selSide_ = 1;
  selAnchorCol_ = selAnchorRow_ = selEndCol_ = selEndRow_ = 0;
  ClearShownSel();
  (void)ApplyHiding(0);
  RefreshFieldSummary();
}

// ---- Extraction -----------------------------------------------------------------------------

void MainWindow::RunExtraction(int differing) {
  if (model_ == nullptr) return;
  Status done(-1);
  if (hitColumn_ == kRowNumberColumn) {
    done = model_->ExtractByStatus(-4, differing != 0);
  } else if (hitColumn_ < kRowNumberColumn) {
    done = model_->ExtractByStatus(-1, differing != 0);
  } else {
    done = model_->ExtractColumn(hitColumn_, differing != 0);
  }
  if (ShowOutcome(done)) ShowExtractedRows();
}

void MainWindow::RunExtractionByStatus(int kind) {
  if (model_ != nullptr && ShowOutcome(model_->ExtractByStatus(kind, true))) ShowExtractedRows();
}

void MainWindow::ShowExtractedRows() {
  SetCaption(model_->ExtractStatusText());
  model_->ShowExtraction(true);
  ResetCursor();
  ResetRowScroll();
  FullRepaint();
}

void MainWindow::ReleaseExtraction() {
  if (!ExtractActive()) return;
  model_->ShowExtraction(false);
  ResetCursor();
  ResetRowScroll();
  FullRepaint();
  SetCaption("");
}

}  // namespace korvel
