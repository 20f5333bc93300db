#include <QtTest>
#include <vector>

#include "core/version.h"
#include "recording_opener.h"
#include "ui/AppIcons.h"
#include "ui/UrlLabel.h"
#include "ui/UrlOpener.h"

using velmora::TRzURLLabel;

class TestLinks : public QObject {
  Q_OBJECT

 private slots:
  // A label without a target opens its caption; one blank in both opens nothing.
  void aLinkFallsBackToItsCaption() {
    RecordingOpener opener(true);
    TRzURLLabel label;
    label.setText(QStringLiteral("https://velmora.example.org/help"));
    label.setUrl(QStringLiteral("   "));
    label.openLink();
    label.setText(QStringLiteral("  "));
    label.openLink();
    QCOMPARE(opener.opened, std::vector<QUrl>{QUrl("https://velmora.example.org/help")});
  }

  void onlyALeftClickOpensTheLink() {
    RecordingOpener opener(true);
    TRzURLLabel label;
    label.setText(QStringLiteral("velmora"));
    label.setUrl(QString::fromLatin1(velmora::kHomePageUrl));
    label.resize(80, 16);
    QTest::mouseClick(&label, Qt::RightButton);
    QVERIFY(opener.opened.empty());
    QTest::mouseClick(&label, Qt::LeftButton);
    QCOMPARE(opener.opened.size(), size_t(1));
  }

  void theHomePageButtonOpensTheHomePageAndIgnoresFailure() {
    RecordingOpener opener(false);
    velmora::openHomePage();
    QCOMPARE(opener.opened, std::vector<QUrl>{QUrl(velmora::kHomePageUrl)});
  }

  void everyButtonGlyphHasItsOwnDisabledPicture() {
    using velmora::ButtonGlyph;
    for (ButtonGlyph glyph : {ButtonGlyph::About, ButtonGlyph::HomePage, ButtonGlyph::ThumbnailOne,
                              ButtonGlyph::ThumbnailBatch, ButtonGlyph::ChooseFolder}) {
      const QIcon icon = velmora::buttonGlyph(glyph);
      const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
      const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage();
      QCOMPARE(normal.size(), QSize(16, 16));
      QCOMPARE(disabled.size(), QSize(16, 16));
      QVERIFY(normal != disabled);
      // The disabled form is grey: no pixel keeps a colour of its own.
      for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
          const QColor c = disabled.pixelColor(x, y);
          QVERIFY(c.alpha() == 0 || (c.red() == c.green() && c.green() == c.blue()));
        }
      }
    }
  }

  void theProgramIconComesInEveryDesktopSize() {
    const QIcon icon = velmora::applicationIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
      QVERIFY(icon.availableSizes().contains(QSize(size, size)));
      QCOMPARE(velmora::applicationPixmap(size).size(), QSize(size, size));
    }
  }
};

QTEST_MAIN(TestLinks)
#include "test_links.moc"
