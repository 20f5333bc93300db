#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <vector>

#include "core/version.h"
#include "recording_opener.h"
#include "ui/UnitFormAbout.h"
#include "ui/UrlLabel.h"

using velmora::kVersion;
using velmora::TFormAbout;
using velmora::TRzURLLabel;

namespace {

QColor textColour(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

// Runs the about box the way the main window does and hands the live box to the inspection.
QPointer<TFormAbout> runAbout(QWidget* owner, const std::function<void(TFormAbout*)>& inspect) {
  QPointer<TFormAbout> seen;
  QTimer::singleShot(0, owner, [&] {
    seen = qobject_cast<TFormAbout*>(QApplication::activeModalWidget());
    if (!seen) return;
    inspect(seen);
  });
  TFormAbout::showAbout(owner);
  return seen;
}

}  // namespace

class TestAbout : public QObject {
  Q_OBJECT

 private slots:
  void controlsCarryTheirCaptionsAndBounds_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("name") << "Label1"
                          << "Velmora" << QPoint(72, 50);
    QTest::newRow("version before stamping") << "Label2"
                                             << "(Ver $V$)" << QPoint(127, 70);
    QTest::newRow("home page caption") << "Label5"
                                       << "主页:" << QPoint(69, 90);
    QTest::newRow("home page link") << "RzURLLabel4" << velmora::kHomePageUrl << QPoint(101, 89);
    QTest::newRow("mail caption") << "Label6"
                                  << "邮箱:" << QPoint(8, 114);
    QTest::newRow("mail link") << "RzURLLabel1" << velmora::kAuthorEmail << QPoint(100, 113);
  }
  void controlsCarryTheirCaptionsAndBounds() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QPoint, topLeft);
    TFormAbout form;
    auto* label = form.findChild<QLabel*>(name);
    QVERIFY2(label, qPrintable(name));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->pos(), topLeft);
  }

  void windowIsAFixedDialogWithOnlyTheSystemMenu() {
    TFormAbout form;
    QCOMPARE(form.objectName(), QStringLiteral("FormAbout"));
    QCOMPARE(form.windowTitle(), QStringLiteral("关于"));
    QCOMPARE(form.size(), QSize(319, 261));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.Button1->text(), QStringLiteral("关闭"));
    QCOMPARE(form.Button1->geometry(), QRect(240, 232, 75, 25));
    QCOMPARE(form.Label6->geometry().width(), 88);
    QCOMPARE(form.Label6->alignment() & Qt::AlignRight, Qt::AlignRight);
  }

  void showsTheProgramIconAtThirtyTwoPixels() {
    TFormAbout form;
    QCOMPARE(form.Image1->geometry(), QRect(136, 8, 32, 32));
    QCOMPARE(form.Image1->pixmap().size(), QSize(32, 32));
    // A drawn icon, not an empty square: some of it is opaque and not all of it is one colour.
    const QImage picture = form.Image1->pixmap().toImage();
    QVERIFY(picture.pixelColor(16, 16).alpha() > 0);
    QVERIFY(picture.pixelColor(4, 10) != picture.pixelColor(24, 24));
  }

  void describesTheProgramInChineseAndKeepsTheEnglishHidden() {
    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    QString chinese, english;
    bool chineseShown = false, englishShown = true, readOnly = false, fits = false;
    runAbout(&owner, [&](TFormAbout* form) {
      chinese = form->Memo1->toPlainText();
      english = form->Memo2->toPlainText();
      chineseShown = form->Memo1->isVisible();
      englishShown = form->Memo2->isVisible();
      readOnly = form->Memo1->isReadOnly() && form->Memo2->isReadOnly();
      // The box has no scroll bars, so all five lines must fit inside it.
      fits = form->Memo1->document()->size().height() <= form->Memo1->viewport()->height();
      form->Button1->click();
    });
    QVERIFY(chineseShown);
    QVERIFY(!englishShown);
    QVERIFY(readOnly);
    QVERIFY(fits);
    QCOMPARE(chinese.split('\n'),
             QStringList({"说明:", "    制作图片缩略图的工具.", "    支持5种缩略图制作方式.",
                          "    可以批量自动生成.", "    仅支持JPG/JPEG图像。"}));
    QCOMPARE(english.split('\n'),
             QStringList({"Description:", "    Thumbnail image of tool making.",
                          "    5 Thumbnail way to support production.",
                          "    Can batch automatically.", "    Only support JPG/JPEG images."}));
  }

  // Every click of "关于" builds a new, stamped box owned by the window, centred on it, and
  // destroys it when it closes, whether by "关闭" or by the window's close box.
  void everyShowingIsANewStampedBoxDestroyedOnClose() {
    QWidget owner;
    owner.setGeometry(100, 80, 800, 600);
    const QString ownerTitle = QStringLiteral("Velmora V") + QLatin1String(kVersion);
    owner.setWindowTitle(ownerTitle);
    owner.show();
    for (bool byCloseBox : {false, true}) {
      QString version;
      QPoint offCentre(-1, -1);
      QObject* parent = nullptr;
      QPointer<TFormAbout> shown = runAbout(&owner, [&](TFormAbout* form) {
        version = form->Label2->text();
        parent = form->parent();
        offCentre = form->geometry().center() - owner.geometry().center();
        if (byCloseBox) {
          form->close();
        } else {
          QTest::mouseClick(form->Button1, Qt::LeftButton);
        }
      });
      QCOMPARE(version, QStringLiteral("(Ver %1)").arg(QLatin1String(kVersion)));
      QCOMPARE(parent, &owner);
      QVERIFY(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1);
      QVERIFY2(shown.isNull(), "the about box outlives its closing");
      QVERIFY(owner.findChildren<TFormAbout*>().isEmpty());
      QCOMPARE(owner.windowTitle(), ownerTitle);
    }
  }

  void clickingALinkOpensItsTarget_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QUrl>("expected");
    QTest::addColumn<QColor>("colourAfter");
    const QUrl home(velmora::kHomePageUrl);
    const QUrl mail(QStringLiteral("mailto:") + velmora::kAuthorEmail);
    const QColor link(60, 60, 120), visited(130, 95, 70);
    QTest::newRow("home page opened") << "RzURLLabel4" << true << home << visited;
    QTest::newRow("home page failed") << "RzURLLabel4" << false << home << link;
    QTest::newRow("mail opened") << "RzURLLabel1" << true << mail << visited;
    QTest::newRow("mail failed") << "RzURLLabel1" << false << mail << link;
  }
  void clickingALinkOpensItsTarget() {
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QFETCH(QUrl, expected);
    QFETCH(QColor, colourAfter);
    RecordingOpener opener(accepted);
    TFormAbout form;
    auto* link = form.findChild<TRzURLLabel*>(name);
    QVERIFY(link);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(opener.opened, std::vector<QUrl>{expected});
    QCOMPARE(textColour(link), colourAfter);
    QCOMPARE(link->visited(), accepted);
  }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
