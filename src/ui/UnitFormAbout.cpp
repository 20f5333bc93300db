#include "ui/UnitFormAbout.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "core/version.h"
#include "ui/AppIcons.h"
#include "ui/UPub_Version.h"
#include "ui/UrlLabel.h"

namespace velmora {

namespace {

QFont arial(int pixelSize, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// Places a label at its designed top-left corner, as wide and high as its caption needs.
template <typename Label>
Label* placedLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
  auto* label = new Label(parent);
  label->setObjectName(QLatin1String(name));
  label->setText(caption);
  label->adjustSize();
  label->move(left, top);
  return label;
}

QTextEdit* description(QWidget* parent, const char* name, const QStringList& lines) {
  auto* memo = new QTextEdit(parent);
  memo->setObjectName(QLatin1String(name));
  memo->setGeometry(16, 136, 289, 89);
  memo->setReadOnly(true);
  memo->setFrameStyle(QFrame::Box | QFrame::Plain);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->document()->setDocumentMargin(2);
  memo->setPlainText(lines.join(QLatin1Char('\n')));
  // The Chinese lines come from a CJK fallback font whose tall line spacing would push the fifth
  // line out of the box; the lines keep the spacing of the box's own font instead.
  QTextBlockFormat spacing;
  spacing.setLineHeight(QFontMetrics(parent->font()).lineSpacing(), QTextBlockFormat::FixedHeight);
  QTextCursor all(memo->document());
  all.select(QTextCursor::Document);
  all.mergeBlockFormat(spacing);
  return memo;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setupWidgets();
  setupConnections();
}

void TFormAbout::showAbout(QWidget* owner) {
  // The owner may go away while the box is modal (the session ends); the guard then sees that
  // the box went with it.
  QPointer<TFormAbout> form = new TFormAbout(owner);
  form->Label2->setText(StampVersion(form->Label2->text(), QString::fromLatin1(kVersion)));
  form->Label2->adjustSize();
  form->exec();
  delete form;
}

void TFormAbout::setupWidgets() {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(QStringLiteral("关于"));
  setFixedSize(319, 261);
  setFont(arial(12));
  setWindowIcon(applicationIcon());

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(applicationPixmap(32));
  Image1->setGeometry(136, 8, 32, 32);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(arial(13, true));
  Label1->setForegroundRole(QPalette::ButtonText);
  Label1->setText(QStringLiteral("Velmora"));
  Label1->adjustSize();
  Label1->move(72, 50);

  Label2 = placedLabel<QLabel>(this, "Label2", QStringLiteral("(Ver $V$)"), 127, 70);

  Label5 = placedLabel<QLabel>(this, "Label5", QStringLiteral("主页:"), 69, 90);
  Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  const QString homePage = QString::fromLatin1(kHomePageUrl);
  RzURLLabel4 = placedLabel<TRzURLLabel>(this, "RzURLLabel4", homePage, 101, 89);
  RzURLLabel4->setUrl(homePage);

  Label6 = new QLabel(QStringLiteral("邮箱:"), this);
  Label6->setObjectName(QStringLiteral("Label6"));
  Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label6->setGeometry(8, 114, 88, Label6->sizeHint().height());

  const QString email = QString::fromLatin1(kAuthorEmail);
  RzURLLabel1 = placedLabel<TRzURLLabel>(this, "RzURLLabel1", email, 100, 113);
  RzURLLabel1->setUrl(QStringLiteral("mailto:") + email);

  Memo1 = description(
      this, "Memo1",
      {QStringLiteral("说明:"), QStringLiteral("    制作图片缩略图的工具."),
       QStringLiteral("    支持5种缩略图制作方式."), QStringLiteral("    可以批量自动生成."),
       QStringLiteral("    仅支持JPG/JPEG图像。")});
  Memo2 = description(
      this, "Memo2",
      {QStringLiteral("Description:"), QStringLiteral("    Thumbnail image of tool making."),
       QStringLiteral("    5 Thumbnail way to support production."),
       QStringLiteral("    Can batch automatically."),
       QStringLiteral("    Only support JPG/JPEG images.")});
  Memo2->hide();

  Button1 = new QPushButton(QStringLiteral("关闭"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(240, 232, 75, 25);
}

void TFormAbout::setupConnections() {
  connect(Button1, &QPushButton::clicked, this, &TFormAbout::Button1Click);
}

void TFormAbout::Button1Click() { close(); }

}  // namespace velmora
