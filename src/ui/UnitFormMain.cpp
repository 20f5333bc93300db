#include "ui/UnitFormMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <thread>
#include <vector>

#include "core/rules/field_validation.h"
#include "core/rules/integer_reading.h"
#include "core/rules/run_checks.h"
#include "core/run/batch_runner.h"
#include "core/thumbnail/preview.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "core/version.h"
#include "ui/AppIcons.h"
#include "ui/FileListBox.h"
#include "ui/GbkLengthValidator.h"
#include "ui/Notices.h"
#include "ui/RzShellCtrls.h"
#include "ui/RzShellDialogs.h"
#include "ui/TSplitter.h"
#include "ui/UPub_Version.h"
#include "ui/UnitFormAbout.h"
#include "ui/UrlOpener.h"

namespace velmora {
namespace {

constexpr int kMinWidth = 800;
constexpr int kMinHeight = 600;
constexpr int kPrefixBytes = 2;
const QColor kScrollBarColour(200, 200, 200);

QFont pixelFont(const QString& family, int pixels, bool bold = false) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* placedLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
  auto* label = named(new QLabel(caption, parent), name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* placedEdit(QWidget* parent, const char* name, const QString& text, QRect bounds) {
  auto* edit = named(new QLineEdit(text, parent), name);
  edit->setGeometry(bounds);
  return edit;
}

QRadioButton* placedRadio(QWidget* parent, const char* name, const QString& caption, QRect bounds) {
  auto* radio = named(new QRadioButton(caption, parent), name);
  radio->setGeometry(bounds);
  return radio;
}

// Splitter panes may be dragged down to nothing: only the splitter's own rule limits them.
void makeShrinkable(QWidget* pane) { pane->setMinimumSize(1, 1); }

// While a batch runs, its log lines and progress appear at once: each finished file lets the
// window paint, but user input waits until the command has returned.
void letWindowPaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

class MemoLog : public LogSink {
 public:
  explicit MemoLog(QPlainTextEdit* memo) : memo_(memo) {}
  // A failure is not logged: it ends the batch and shows in the error box.
  void record(const FileOutcome& outcome) override {
    if (!outcome.logLine.empty()) memo_->appendPlainText(QString::fromStdString(outcome.logLine));
  }

 private:
  QPlainTextEdit* memo_;
};

class BarProgress : public ProgressSink {
 public:
  explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
  void advance() override {
    bar_->setValue(bar_->value() + 1);
    letWindowPaint();
  }

 private:
  QProgressBar* bar_;
};

QImage toQImage(const RgbImage& picture) {
  if (picture.width <= 0 || picture.height <= 0) return {};
  return QImage(picture.pixels.data(), picture.width, picture.height,
                static_cast<qsizetype>(picture.rowBytes()), QImage::Format_RGB888)
      .copy();
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
  setupWidgets();
  setupConnections();
  // The tree selected its root while it was built, before anyone listened.
  ShellTreeView1Change();
  FormCreate();
}

void TFormMain::setupWidgets() {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QStringLiteral("Velmora V$V$"));
  // The name task bars and window lists give the program; the caption stays the window's own.
  setWindowIconText(QString::fromUtf8(kApplicationTitle));
  setWindowIcon(applicationIcon());
  setFont(pixelFont(QStringLiteral("Arial"), 11));
  setMinimumSize(kMinWidth, kMinHeight);
  resize(819, 668);

  setupTopPanel();
  setupBrowsing();
  setupSettings();
  Splitter1 = named(new TSplitter(Qt::Vertical, TSplitter::ResizedPane::Second), "Splitter1");
  Splitter1->setHandleWidth(6);
  Splitter1->setHandleColor(kScrollBarColour);
  Splitter1->addWidget(Splitter2);
  Splitter1->addWidget(GroupBox2);
  Splitter1->setStretchFactor(0, 1);
  makeShrinkable(Splitter2);
  makeShrinkable(GroupBox2);
  Splitter1->setSizes({1, 334});

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(Panel1);
  column->addWidget(Splitter1, 1);

  setupTabOrder();
  setupLooks();
}

// Style sheets come last: a styled widget and its children take their fonts from the parents
// they have when the sheet is set, and only now does every control sit in the window, under the
// window's font (or its group's).
void TFormMain::setupLooks() {
  // Group boxes as the designed layout has them: the caption sits on the frame line, so the
  // designed positions of the controls fall inside the frame. Set on the two panes that hold
  // group boxes, so that the boxes this window owns (about box, folder chooser) keep their look.
  const QString groupBoxLook = QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px;"
      " padding: 0px 2px; }");
  GroupBox2->setStyleSheet(groupBoxLook);
  Panel3->setStyleSheet(groupBoxLook);

  const QString panelButtonLook = QStringLiteral(
      "QPushButton { background-color: rgb(244,244,240); border: 1px solid rgb(160,160,160); }"
      "QPushButton:hover { border: 1px solid rgb(255,199,60); background-color: "
      "rgb(255,236,190); }"
      "QPushButton:focus { border: 1px solid rgb(106,141,244); }"
      "QPushButton:pressed { background-color: rgb(106,141,244); color: white; }");
  BTNAbout->setStyleSheet(panelButtonLook);
  BTNHomePage->setStyleSheet(panelButtonLook);
}

void TFormMain::setupTopPanel() {
  Panel1 = named(new QFrame, "Panel1");
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setFixedHeight(24);

  Label7 = named(new QLabel(QStringLiteral("Velmora  V$V$")), "Label7");
  Label7->setAlignment(Qt::AlignCenter);
  Label7->setFont(pixelFont(QStringLiteral("Arial"), 16, true));
  Label7->setStyleSheet(QStringLiteral("color: blue;"));

  BTNAbout = named(new QPushButton(QStringLiteral("关于")), "BTNAbout");
  BTNAbout->setIcon(buttonGlyph(ButtonGlyph::About));
  BTNAbout->setFixedWidth(74);
  BTNHomePage = named(new QPushButton(QStringLiteral("主页")), "BTNHomePage");
  BTNHomePage->setIcon(buttonGlyph(ButtonGlyph::HomePage));
  BTNHomePage->setFixedWidth(86);
  // Both buttons fill the panel's height, like the headline beside them.
  for (QPushButton* button : {BTNAbout, BTNHomePage})
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(Label7, 1);
  row->addWidget(BTNAbout);
  row->addWidget(BTNHomePage);
}

void TFormMain::setupBrowsing() {
  Panel2 = named(new QFrame, "Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel2->setLineWidth(1);

  ShellTreeView1 = named(new TRzShellTree, "ShellTreeView1");
  FileListBox1 = named(new TFileListBox, "FileListBox1");

  Splitter3 = named(new TSplitter(Qt::Horizontal, TSplitter::ResizedPane::First), "Splitter3");
  Splitter3->setHandleWidth(4);
  Splitter3->setHandleColor(palette().color(QPalette::Button));
  Splitter3->addWidget(ShellTreeView1);
  Splitter3->addWidget(FileListBox1);
  Splitter3->setStretchFactor(1, 1);
  makeShrinkable(ShellTreeView1);
  makeShrinkable(FileListBox1);
  Splitter3->setSizes({207, 1});

  auto* panel2Layout = new QHBoxLayout(Panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  panel2Layout->addWidget(Splitter3);

  Panel3 = named(new QFrame, "Panel3");
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel3->setLineWidth(1);
  GroupBox5 = named(new QGroupBox(QStringLiteral("图片预览")), "GroupBox5");
  Image1 = named(new QLabel, "Image1");
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  Image1->setMinimumSize(0, 0);
  LabFile = named(new QLabel, "LabFile");
  LabFile->setFixedHeight(14);

  auto* previewLayout = new QVBoxLayout(GroupBox5);
  previewLayout->setContentsMargins(1, 8, 1, 1);
  previewLayout->setSpacing(0);
  previewLayout->addWidget(Image1, 1);
  previewLayout->addWidget(LabFile);
  auto* panel3Layout = new QVBoxLayout(Panel3);
  panel3Layout->setContentsMargins(0, 0, 0, 0);
  panel3Layout->addWidget(GroupBox5);

  Splitter2 = named(new TSplitter(Qt::Horizontal, TSplitter::ResizedPane::Second), "Splitter2");
  Splitter2->setHandleWidth(3);
  Splitter2->setHandleColor(kScrollBarColour);
  Splitter2->addWidget(Panel2);
  Splitter2->addWidget(Panel3);
  Splitter2->setStretchFactor(0, 1);
  makeShrinkable(Panel2);
  makeShrinkable(Panel3);
  Splitter2->setSizes({1, 185});
}

void TFormMain::setupSettings() {
  GroupBox2 = named(new QGroupBox, "GroupBox2");
  setupSizingGroup();
  setupNamingGroup();
  setupCommandGroup();
  setupLogGroup();

  auto* stack = new QVBoxLayout(GroupBox2);
  stack->setContentsMargins(1, 8, 1, 1);
  stack->setSpacing(0);
  stack->addWidget(GroupBox3);
  stack->addWidget(GroupBox6);
  stack->addWidget(GroupBox7);
  stack->addWidget(GroupBox4, 1);
  setupFieldNames();
}

// Left to itself, a screen reader names a field after its group box: seven fields would all be
// "缩略图生成规则". Each takes the captions a sighted user reads beside it instead (its rule's
// radio button and its role), and says in its description what it holds.
void TFormMain::setupFieldNames() {
  const QString height = QStringLiteral("高");
  const QString width = QStringLiteral("宽");
  const QString percent = QStringLiteral("百分比，1 到 %1").arg(kRateLimit);
  const QString pixels = QStringLiteral("像素，1 到 %1").arg(kSizeLimit);
  const struct {
    QLineEdit* field;
    const QRadioButton* rule;
    QString role;
    QString description;
  } fields[] = {
      {editRate, rb1, Label1->text(), percent},
      {editHH, rb2, height, pixels},
      {editWW, rb3, width, pixels},
      {editH, rb4, height, pixels},
      {editW, rb4, width, pixels},
      {editQH, rb5, height, pixels},
      {editQW, rb5, width, pixels},
      {Edit2, rbname1, QString(), QStringLiteral("最多两个半角字符或一个汉字")},
      {ePath, rbname2, QString(), QStringLiteral("用“选择文件夹”按钮选择")},
  };
  for (const auto& [field, rule, role, description] : fields) {
    field->setAccessibleName(role.isEmpty() ? rule->text()
                                            : rule->text() + QLatin1Char(' ') + role);
    field->setAccessibleDescription(description);
  }
}

void TFormMain::setupSizingGroup() {
  GroupBox3 = named(new QGroupBox(QStringLiteral("缩略图生成规则")), "GroupBox3");
  GroupBox3->setFixedHeight(89);
  QWidget* g = GroupBox3;
  const QString percent = QStringLiteral("%");
  const QString pixels = QStringLiteral("像素");

  rb1 = placedRadio(g, "rb1", QStringLiteral("按比例缩小"), {16, 16, 97, 17});
  rb1->setChecked(true);
  editRate = placedEdit(g, "editRate", QStringLiteral("50"), {120, 16, 41, 20});
  Label1 = placedLabel(g, "Label1", percent, 166, 19);
  rb2 = placedRadio(g, "rb2", QStringLiteral("按高度比例"), {16, 42, 97, 17});
  editHH = placedEdit(g, "editHH", QStringLiteral("50"), {120, 40, 41, 20});
  Label8 = placedLabel(g, "Label8", percent, 166, 43);
  rb3 = placedRadio(g, "rb3", QStringLiteral("按宽度比例"), {16, 66, 97, 17});
  editWW = placedEdit(g, "editWW", QStringLiteral("50"), {120, 64, 41, 20});
  Label9 = placedLabel(g, "Label9", percent, 166, 67);
  rb4 = placedRadio(g, "rb4", QStringLiteral("自定义"), {264, 19, 73, 17});
  Label2 = placedLabel(g, "Label2", QStringLiteral("高度"), 304, 42);
  editH = placedEdit(g, "editH", QStringLiteral("100"), {336, 38, 41, 20});
  Label10 = placedLabel(g, "Label10", pixels, 382, 41);
  Label3 = placedLabel(g, "Label3", QStringLiteral("宽度"), 304, 65);
  editW = placedEdit(g, "editW", QStringLiteral("100"), {336, 62, 41, 20});
  Label11 = placedLabel(g, "Label11", pixels, 382, 65);
  rb5 = placedRadio(g, "rb5", QStringLiteral("指定高、宽最大值按比率"), {448, 16, 241, 17});
  Label4 = placedLabel(g, "Label4", QStringLiteral("高度最大值"), 489, 42);
  editQH = placedEdit(g, "editQH", QStringLiteral("100"), {573, 38, 41, 20});
  Label12 = placedLabel(g, "Label12", pixels, 619, 40);
  Label5 = placedLabel(g, "Label5", QStringLiteral("宽度最大值"), 488, 65);
  editQW = placedEdit(g, "editQW", QStringLiteral("100"), {573, 63, 41, 20});
  Label13 = placedLabel(g, "Label13", pixels, 619, 66);
}

void TFormMain::setupNamingGroup() {
  GroupBox6 = named(new QGroupBox(QStringLiteral("缩略图命名设置")), "GroupBox6");
  GroupBox6->setFixedHeight(72);
  GroupBox6->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
  QWidget* g = GroupBox6;

  rbname1 =
      placedRadio(g, "rbname1", QStringLiteral("当前目录，原文件名前加字符:"), {16, 24, 185, 17});
  rbname1->setChecked(true);
  Edit2 = placedEdit(g, "Edit2", QString(), {206, 21, 25, 19});
  Edit2->setValidator(new GbkLengthValidator(kPrefixBytes, Edit2));
  Edit2->setText(QStringLiteral("tb"));
  rbname2 =
      placedRadio(g, "rbname2", QStringLiteral("自定义路径，保持原文件名"), {16, 48, 185, 17});
  BtnSF = named(new QPushButton(QStringLiteral("..."), g), "BtnSF");
  BtnSF->setGeometry(203, 44, 47, 23);
  BtnSF->setIcon(buttonGlyph(ButtonGlyph::ChooseFolder));
  BtnSF->setToolTip(QStringLiteral("选择文件夹"));
  // A screen reader would speak the caption's three dots; the hint says what the button does.
  BtnSF->setAccessibleName(BtnSF->toolTip());
  BtnSF->setAccessibleDescription(QStringLiteral("为“自定义路径，保持原文件名”选择输出文件夹"));
  BtnSF->setEnabled(false);
  ePath = placedEdit(g, "ePath", QString(), {256, 46, 441, 19});
  ePath->setReadOnly(true);
  RzSelectFolderDialog1 = named(new TRzSelectFolderDialog(this), "RzSelectFolderDialog1");
}

void TFormMain::setupCommandGroup() {
  GroupBox7 = named(new QGroupBox, "GroupBox7");
  GroupBox7->setFixedHeight(49);
  SpeedButton1 =
      named(new QPushButton(QStringLiteral("生成当前图片缩略图"), GroupBox7), "SpeedButton1");
  SpeedButton1->setIcon(buttonGlyph(ButtonGlyph::ThumbnailOne));
  SpeedButton1->setGeometry(26, 12, 217, 29);
  SpeedButton2 = named(new QPushButton(QStringLiteral("批量生成当前目录图片缩略图"), GroupBox7),
                       "SpeedButton2");
  SpeedButton2->setIcon(buttonGlyph(ButtonGlyph::ThumbnailBatch));
  SpeedButton2->setGeometry(354, 12, 281, 29);
}

void TFormMain::setupLogGroup() {
  GroupBox4 = named(new QGroupBox(QStringLiteral("处理信息")), "GroupBox4");
  ProgressBar1 = named(new QProgressBar, "ProgressBar1");
  ProgressBar1->setFixedHeight(17);
  ProgressBar1->setTextVisible(false);

  Memo1 = named(new QPlainTextEdit, "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
  QPalette colours = Memo1->palette();
  colours.setColor(QPalette::Base, colours.color(QPalette::Dark));
  colours.setColor(QPalette::Text, Qt::blue);
  Memo1->setPalette(colours);

  auto* stack = new QVBoxLayout(GroupBox4);
  stack->setContentsMargins(1, 8, 1, 1);
  stack->setSpacing(0);
  stack->addWidget(ProgressBar1);
  stack->addWidget(Memo1, 1);
}

void TFormMain::setupTabOrder() {
  const std::vector<QWidget*> order = {
      rb1,          editRate,     rb4,      editH,       editW,          rb2,
      editHH,       rb3,          editWW,   rb5,         editQH,         editQW,
      Memo1,        rbname1,      rbname2,  ePath,       Edit2,          BtnSF,
      SpeedButton1, SpeedButton2, BTNAbout, BTNHomePage, ShellTreeView1, FileListBox1};
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  // Taken when the window first becomes active; otherwise the first control built would have it.
  order.front()->setFocus();
  ProgressBar1->setFocusPolicy(Qt::NoFocus);
}

void TFormMain::setupConnections() {
  connect(ShellTreeView1, &TRzShellTree::selectedNodeChanged, this,
          [this] { ShellTreeView1Change(); });
  connect(FileListBox1, &TFileListBox::Change, this, &TFormMain::FileListBox1Change);

  const std::pair<QRadioButton*, void (TFormMain::*)()> radios[] = {
      {rb1, &TFormMain::rb1Click},         {rb2, &TFormMain::rb2Click},
      {rb3, &TFormMain::rb3Click},         {rb4, &TFormMain::rb4Click},
      {rb5, &TFormMain::rb5Click},         {rbname1, &TFormMain::rbname1Click},
      {rbname2, &TFormMain::rbname2Click},
  };
  for (const auto& [radio, handler] : radios) {
    connect(radio, &QRadioButton::toggled, this, [this, handler = handler](bool checked) {
      if (checked) (this->*handler)();
    });
  }

  const std::pair<QLineEdit*, void (TFormMain::*)()> fields[] = {
      {editRate, &TFormMain::editRateChange}, {editHH, &TFormMain::editHHChange},
      {editWW, &TFormMain::editWWChange},     {editH, &TFormMain::editHChange},
      {editW, &TFormMain::editWChange},       {editQH, &TFormMain::editQHChange},
      {editQW, &TFormMain::editQWChange},
  };
  for (const auto& [field, handler] : fields)
    connect(field, &QLineEdit::textChanged, this, handler);

  connect(BtnSF, &QPushButton::clicked, this, &TFormMain::BtnSFClick);
  connect(SpeedButton1, &QPushButton::clicked, this, &TFormMain::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &TFormMain::SpeedButton2Click);
  connect(BTNAbout, &QPushButton::clicked, this, &TFormMain::BTNAboutClick);
  connect(BTNHomePage, &QPushButton::clicked, this, &TFormMain::BTNHomePageClick);
}

void TFormMain::FormCreate() {
  runHandler([this] {
    resize(kMinWidth, kMinHeight);
    pointFileListAtTree(false);
    enableSizingFields(SizingMode::Rate);
    ProgressBar1->hide();
    setWindowTitle(StampVersion(windowTitle(), QString::fromLatin1(kVersion)));
    Label7->setText(StampVersion(Label7->text(), QString::fromLatin1(kVersion)));
    centreOnDesktop();
  });
}

void TFormMain::centreOnDesktop() {
  const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!display) return;
  const QRect desktop = display->virtualGeometry();
  move(desktop.x() + qMax(0, (desktop.width() - width()) / 2),
       desktop.y() + qMax(0, (desktop.height() - height()) / 2));
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (guard_.mayClose()) {
    QWidget::closeEvent(event);
  } else {
    event->ignore();
  }
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TFormMain::FormResize() {
  runHandler([this] {
    if (width() < kMinWidth) resize(kMinWidth, height());
    if (height() < kMinHeight) resize(width(), kMinHeight);
  });
}

void TFormMain::pointFileListAtTree(bool relist) {
  // The list follows the tree silently: a folder it cannot show just leaves it empty.
  try {
    FileListBox1->setDirectory(ShellTreeView1->path(), relist);
  } catch (...) {
  }
}

void TFormMain::ShellTreeView1Change() {
  guard_.runWhenIdle("ShellTreeView1Change", [this] {
    runHandler([this] {
      FileListBox1->Clear();
      pointFileListAtTree(true);
    });
  });
}

void TFormMain::FileListBox1Change() {
  guard_.runWhenIdle("FileListBox1Change", [this] {
    runHandler([this] {
      const int areaWidth = Image1->width();
      const int areaHeight = Image1->height();
      const std::string path = FileListBox1->fileNameBytes();
      if (path.empty()) return;
      const Preview preview = loadPreview(path, areaWidth, areaHeight, decoderMemory_);
      LabFile->setText(
          QStringLiteral("尺寸:%1x%2").arg(preview.sourceWidth).arg(preview.sourceHeight));
      Image1->setPixmap(QPixmap::fromImage(toQImage(preview.picture)));
    });
  });
}

void TFormMain::enableSizingFields(SizingMode mode) {
  editRate->setEnabled(mode == SizingMode::Rate);
  editHH->setEnabled(mode == SizingMode::Height);
  editWW->setEnabled(mode == SizingMode::Width);
  editH->setEnabled(mode == SizingMode::HeightAndWidth);
  editW->setEnabled(mode == SizingMode::HeightAndWidth);
  editQH->setEnabled(mode == SizingMode::Fit);
  editQW->setEnabled(mode == SizingMode::Fit);
}

void TFormMain::rb1Click() {
  runHandler([this] { enableSizingFields(SizingMode::Rate); });
}
void TFormMain::rb2Click() {
  runHandler([this] { enableSizingFields(SizingMode::Height); });
}
void TFormMain::rb3Click() {
  runHandler([this] { enableSizingFields(SizingMode::Width); });
}
void TFormMain::rb4Click() {
  runHandler([this] { enableSizingFields(SizingMode::HeightAndWidth); });
}
void TFormMain::rb5Click() {
  runHandler([this] { enableSizingFields(SizingMode::Fit); });
}

void TFormMain::validateNumericField(QLineEdit* field) {
  guard_.runWhenIdle(field->objectName().toStdString(),
                     [=] { runHandler([=] { correctNumericField(field); }); });
}

bool TFormMain::correctNumericField(QLineEdit* field) {
  const bool rate = field == editRate;
  const FieldVerdict verdict =
      validateField(field->text().toStdString(), rate ? kRateLimit : kSizeLimit,
                    rate ? kRateAboveLimit : kSizeAboveLimit);
  const QString message = QString::fromStdString(verdict.message);
  const QString reset = QString::fromLatin1(kFieldResetText);
  // Assigning the text raises the change event again, nested, which then finds "100" valid.
  auto resetField = [&] {
    if (field->text() != reset) field->setText(reset);
  };
  switch (verdict.action) {
    case FieldAction::Accept:
      return true;
    case FieldAction::ResetThenNotify:
      resetField();
      showNotice(message);
      return false;
    case FieldAction::NotifyThenReset:
      showNotice(message);
      resetField();
      return false;
  }
  return false;
}

void TFormMain::editRateChange() { validateNumericField(editRate); }
void TFormMain::editHHChange() { validateNumericField(editHH); }
void TFormMain::editWWChange() { validateNumericField(editWW); }
void TFormMain::editHChange() { validateNumericField(editH); }
void TFormMain::editWChange() { validateNumericField(editW); }
void TFormMain::editQHChange() { validateNumericField(editQH); }
void TFormMain::editQWChange() { validateNumericField(editQW); }

void TFormMain::rbname1Click() {
  runHandler([this] {
    if (rbname1->isChecked()) BtnSF->setEnabled(false);
  });
}

void TFormMain::rbname2Click() {
  runHandler([this] { BtnSF->setEnabled(rbname2->isChecked()); });
}

void TFormMain::BtnSFClick() {
  guard_.runCommand([this] {
    runHandler([this] {
      RzSelectFolderDialog1->setFolderPath(outputFolderBytes());
      if (!RzSelectFolderDialog1->showChooser()) return;
      outputFolder_ = RzSelectFolderDialog1->folderPath();
      ePath->setText(QFile::decodeName(outputFolder_));
    });
  });
}

void TFormMain::BTNAboutClick() {
  guard_.runCommand([this] { runHandler([this] { TFormAbout::showAbout(this); }); });
}

void TFormMain::BTNHomePageClick() {
  guard_.runCommand([this] { runHandler([] { openHomePage(); }); });
}

std::vector<QLineEdit*> TFormMain::chosenSizingFields() const {
  if (rb1->isChecked()) return {editRate};
  if (rb2->isChecked()) return {editHH};
  if (rb3->isChecked()) return {editWW};
  if (rb4->isChecked()) return {editH, editW};
  return {editQH, editQW};
}

bool TFormMain::sizingFieldsValid() {
  // The fields are checked as they change, but a text can still be there unchecked: set by an
  // assistive tool while the field's notice is open, or typed while a command ran. The field's
  // own check runs now; a value it refuses never reaches the sizing rules.
  for (QLineEdit* field : chosenSizingFields()) {
    if (!correctNumericField(field)) return false;
  }
  return true;
}

SizingRequest TFormMain::sizingRequest() const {
  // Only the chosen mode's fields are read, after sizingFieldsValid().
  auto value = [](const QLineEdit* field) {
    return readInteger(field->text().toStdString()).value();
  };
  SizingRequest request;
  if (rb1->isChecked()) {
    request.mode = SizingMode::Rate;
    request.rate = value(editRate);
  } else if (rb2->isChecked()) {
    request.mode = SizingMode::Height;
    request.heightValue = value(editHH);
  } else if (rb3->isChecked()) {
    request.mode = SizingMode::Width;
    request.widthValue = value(editWW);
  } else if (rb4->isChecked()) {
    request.mode = SizingMode::HeightAndWidth;
    request.heightValue = value(editH);
    request.widthValue = value(editW);
  } else {
    request.mode = SizingMode::Fit;
    request.heightValue = value(editQH);
    request.widthValue = value(editQW);
  }
  return request;
}

NamingSettings TFormMain::namingSettings() const {
  NamingSettings naming;
  naming.mode =
      rbname2->isChecked() ? NamingMode::SameNameInChosenFolder : NamingMode::PrefixInSourceFolder;
  naming.prefix = Edit2->text().toStdString();
  naming.outputFolder = outputFolderBytes().toStdString();
  return naming;
}

std::string TFormMain::treePath() const { return ShellTreeView1->path().toStdString(); }

QByteArray TFormMain::outputFolderBytes() const {
  // The field shows the chosen folder decoded; its bytes stay behind it while it shows them.
  const QString shown = ePath->text();
  return shown == QFile::decodeName(outputFolder_) ? outputFolder_ : QFile::encodeName(shown);
}

bool TFormMain::CheckRunPreconditions() {
  RunCheckInput input;
  input.listedFiles = static_cast<std::size_t>(FileListBox1->count());
  input.naming = namingSettings();
  input.sourceFolder = FileListBox1->Directory().toStdString();
  const RunCheckResult result = checkRunPreconditions(input);
  if (result == RunCheckResult::Pass) return true;
  showNotice(QString::fromStdString(runCheckMessage(result)));
  return false;
}

void TFormMain::MakeThumbnail(const ThumbnailRequest& request) {
  Memo1->appendPlainText(
      QString::fromStdString(velmora::makeThumbnailFile(request, decoderMemory_)));
}

void TFormMain::SpeedButton1Click() {
  guard_.runCommand([this] {
    runHandler([this] {
      Memo1->clear();
      if (!CheckRunPreconditions()) return;
      const std::string source = FileListBox1->fileNameBytes();
      if (source.empty()) {
        showNotice(QString::fromUtf8(kNoFileSelected));
        return;
      }
      if (!sizingFieldsValid()) return;
      ThumbnailRequest request;
      request.sourcePath = source;
      request.sizing = sizingRequest();
      request.destinationPath = singleImageDestination(
          source, treePath(), FileListBox1->Directory().toStdString(), namingSettings());
      MakeThumbnail(request);
    });
  });
}

void TFormMain::SpeedButton2Click() {
  guard_.runCommand([this] {
    runHandler([this] {
      Memo1->clear();
      if (!CheckRunPreconditions() || !sizingFieldsValid()) return;
      const SizingRequest sizing = sizingRequest();
      const NamingSettings naming = namingSettings();
      // The names listed now are the names processed, whatever the batch adds to the folder.
      const std::vector<std::string> names = FileListBox1->names();
      const std::vector<ThumbnailRequest> requests =
          batchRequests(treePath(), names, naming, sizing);

      ProgressBar1->setRange(0, static_cast<int>(names.size()));
      ProgressBar1->setValue(0);
      ProgressBar1->show();
      MemoLog log(Memo1);
      BarProgress progress(ProgressBar1);
      RunOptions options{decoderMemory_};
      options.workers = std::max(1u, std::thread::hardware_concurrency());
      runThumbnails(requests, log, progress, options);
      ProgressBar1->hide();
    });
  });
}

}  // namespace velmora
