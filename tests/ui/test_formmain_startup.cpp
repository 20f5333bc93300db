// The main window as it opens, its minimum size, the splitters, and the boxes it shows.

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "core/version.h"
#include "ui/FileListBox.h"
#include "ui/Notices.h"
#include "ui/RzShellCtrls.h"
#include "ui/TSplitter.h"
#include "ui/UnitFormAbout.h"
#include "ui/UnitFormMain.h"
#include "ui/UrlOpener.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

class FormMainStartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    writeJpeg(testDesktop->desktop() + "/b.JPG", 20, 10);
    writeJpeg(testDesktop->desktop() + "/a.jpeg", 20, 10);
    writeFile(testDesktop->desktop() + "/notes.txt", "not a picture");
  }

  void opensInItsStartUpState() {
    RecordingPresenter boxes;
    TFormMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.size(), QSize(800, 600));
    const QRect desktop = form.screen()->virtualGeometry();
    QCOMPARE(form.pos(), QPoint(desktop.x() + qMax(0, (desktop.width() - 800) / 2),
                                desktop.y() + qMax(0, (desktop.height() - 600) / 2)));
    QCOMPARE(form.windowTitle(), QStringLiteral("Velmora V") + QLatin1String(kVersion));
    QCOMPARE(form.Label7->text(), QStringLiteral("Velmora  V") + QLatin1String(kVersion));
    QCOMPARE(form.windowIconText(), QStringLiteral("Velmora V2.0"));
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.rb1);

    QVERIFY(form.rb1->isChecked());
    QVERIFY(form.rbname1->isChecked());
    const std::pair<QLineEdit*, bool> fields[] = {
        {form.editRate, true}, {form.editHH, false}, {form.editWW, false}, {form.editH, false},
        {form.editW, false},   {form.editQH, false}, {form.editQW, false}};
    for (const auto& [field, enabled] : fields)
      QVERIFY2(field->isEnabled() == enabled, qPrintable(field->objectName()));
    QVERIFY(!form.BtnSF->isEnabled());
    QVERIFY(form.ProgressBar1->isHidden());
    QVERIFY(form.Memo1->toPlainText().isEmpty());
    QVERIFY(form.Memo1->isReadOnly());
    QVERIFY(form.ePath->isReadOnly());
    QCOMPARE(form.Edit2->text(), QStringLiteral("tb"));

    // The tree starts on the desktop, whose JPEG files are listed sorted, none selected.
    QCOMPARE(form.FileListBox1->Directory(), testDesktop->desktop());
    QCOMPARE(form.FileListBox1->count(), 2);
    QCOMPARE(form.FileListBox1->item(0)->text(), QStringLiteral("a.jpeg"));
    QCOMPARE(form.FileListBox1->item(1)->text(), QStringLiteral("b.JPG"));
    QVERIFY(form.FileListBox1->selectedItems().isEmpty());
    QVERIFY(form.LabFile->text().isEmpty());
    QVERIFY(form.Image1->pixmap().isNull());
    QVERIFY(boxes.shown.isEmpty());
  }

  void everyFieldAndTheFolderButtonHaveANameOfTheirOwnForScreenReaders() {
    TFormMain form;
    const std::pair<QLineEdit*, QString> fields[] = {
        {form.editRate, "按比例缩小 %"},
        {form.editHH, "按高度比例 高"},
        {form.editWW, "按宽度比例 宽"},
        {form.editH, "自定义 高"},
        {form.editW, "自定义 宽"},
        {form.editQH, "指定高、宽最大值按比率 高"},
        {form.editQW, "指定高、宽最大值按比率 宽"},
        {form.Edit2, "当前目录，原文件名前加字符:"},
        {form.ePath, "自定义路径，保持原文件名"},
    };
    for (const auto& [field, name] : fields) {
      QAccessibleInterface* read = QAccessible::queryAccessibleInterface(field);
      QCOMPARE(read->text(QAccessible::Name), name);
      QVERIFY2(!read->text(QAccessible::Description).isEmpty(), qPrintable(name));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(form.editHH)->text(QAccessible::Description),
             QStringLiteral("像素，1 到 1000"));
    QCOMPARE(QAccessible::queryAccessibleInterface(form.BtnSF)->text(QAccessible::Name),
             QStringLiteral("选择文件夹"));
    QCOMPARE(form.BtnSF->text(), QStringLiteral("..."));
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(form.BtnSF);
    QVERIFY(button->text(QAccessible::Description) != button->text(QAccessible::Name));
  }

  void theHomePageButtonOpensTheHomePage() {
    QList<QUrl> opened;
    const UrlOpener previous = setUrlOpener([&](const QUrl& url) {
      opened << url;
      return false;
    });
    RecordingPresenter boxes;
    TFormMain form;
    QTest::mouseClick(form.BTNHomePage, Qt::LeftButton);
    setUrlOpener(previous);
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://velmora.example.org/"))});
    QVERIFY(boxes.shown.isEmpty());
    QVERIFY(!form.BTNHomePage->icon().isNull());
  }

  void theAboutButtonShowsTheAboutBoxOnce() {
    RecordingPresenter boxes;
    TFormMain form;
    form.show();
    QString shownVersion;
    QTimer::singleShot(0, &form, [&] {
      auto* about = qobject_cast<TFormAbout*>(QApplication::activeModalWidget());
      QVERIFY(about);
      shownVersion = about->Label2->text();
      about->Button1->click();
    });
    QTest::mouseClick(form.BTNAbout, Qt::LeftButton);
    QVERIFY(shownVersion.contains(QLatin1String(kVersion)));
    QVERIFY(form.findChildren<TFormAbout*>().isEmpty());
    QVERIFY(boxes.shown.isEmpty());
  }

  void panesStartAtTheirDesignedSizes() {
    TFormMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.Panel1->height(), 24);
    QCOMPARE(form.BTNAbout->geometry(), QRect(800 - 86 - 74, 0, 74, 24));
    QCOMPARE(form.BTNHomePage->geometry(), QRect(800 - 86, 0, 86, 24));
    QCOMPARE(form.GroupBox2->height(), 334);
    QCOMPARE(form.Panel3->width(), 185);
    QCOMPARE(form.ShellTreeView1->width(), 207);
    QCOMPARE(form.GroupBox3->height(), 89);
    QCOMPARE(form.GroupBox6->height(), 72);
    QCOMPARE(form.GroupBox7->height(), 49);
    QCOMPARE(form.SpeedButton2->geometry(), QRect(354, 12, 281, 29));
    QCOMPARE(form.ePath->geometry(), QRect(256, 46, 441, 19));
    QCOMPARE(form.Image1->width(), 179);
  }

  void everyControlDrawsInItsDesignedFont() {
    TFormMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto expectedFamily = [&](const QWidget* control) {
      const bool naming = control == form.GroupBox6 || form.GroupBox6->isAncestorOf(control);
      return naming || control == form.Memo1 ? QStringLiteral("MS Sans Serif")
                                             : QStringLiteral("Arial");
    };
    QList<QWidget*> controls = form.findChildren<QWidget*>();
    controls << &form;
    int checked = 0;
    for (const QWidget* control : controls) {
      const QString name = control->objectName();
      if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
      const QFont font = control->font();
      const bool headline = control == form.Label7;
      const QString expected = expectedFamily(control);
      QVERIFY2(font.family() == expected, qPrintable(name + QLatin1String(": ") + font.family()));
      QVERIFY2(font.pixelSize() == (headline ? 16 : 11), qPrintable(name));
      QVERIFY2(font.bold() == headline, qPrintable(name));
      QVERIFY2(QFontInfo(font).family() == QFontInfo(QFont(expected)).family(), qPrintable(name));
      ++checked;
    }
    QCOMPARE(checked, 52);
  }

  void neverShrinksBelowItsMinimum_data() {
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("narrow and short") << QSize(500, 400) << QSize(800, 600);
    QTest::newRow("narrow") << QSize(799, 700) << QSize(800, 700);
    QTest::newRow("short") << QSize(900, 599) << QSize(900, 600);
    QTest::newRow("larger") << QSize(1000, 700) << QSize(1000, 700);
  }
  void neverShrinksBelowItsMinimum() {
    QFETCH(QSize, requested);
    QFETCH(QSize, expected);
    TFormMain form;
    form.show();
    form.resize(requested);
    QCOMPARE(form.size(), expected);
  }

  void splittersSnapShutBelowThirtyPixels() {
    TFormMain form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TSplitter* splitter = form.Splitter2;  // resizes the preview pane on its right
    const int shared = splitter->width() - splitter->handleWidth();
    auto previewWidthAfterDragTo = [&](int paneWidth) {
      const int position = shared - paneWidth;
      splitter->dragHandleTo(position);
      const int whileDragging = form.Panel3->width();
      splitter->releaseHandleAt(position);
      return std::make_pair(whileDragging, splitter->sizes().at(1));
    };
    // While dragging, a hatched line shows where the edge will go.
    splitter->dragHandleTo(shared - 100);
    QWidget* line = splitter->dragLine();
    QVERIFY(line->isVisible());
    QCOMPARE(line->geometry(), QRect(shared - 100, 0, splitter->handleWidth(), splitter->height()));
    const QImage look = line->grab().toImage();
    QVERIFY(look.pixel(0, 0) != look.pixel(1, 0));
    splitter->releaseHandleAt(shared - 185);
    QVERIFY(line->isHidden());

    auto [during, after] = previewWidthAfterDragTo(100);
    QCOMPARE(during, 185);
    QCOMPARE(after, 100);
    std::tie(during, after) = previewWidthAfterDragTo(30);
    QCOMPARE(after, 30);
    std::tie(during, after) = previewWidthAfterDragTo(29);
    QCOMPARE(after, 0);
    std::tie(during, after) = previewWidthAfterDragTo(120);
    QCOMPARE(after, 120);
    // The pane on the other side keeps the minimum too.
    std::tie(during, after) = previewWidthAfterDragTo(shared - 10);
    QCOMPARE(after, shared - TSplitter::kMinPaneSize);
    previewWidthAfterDragTo(185);

    TSplitter* treeSplitter = form.Splitter3;  // resizes the tree on its left
    treeSplitter->releaseHandleAt(12);
    QCOMPARE(treeSplitter->sizes().at(0), 0);
    treeSplitter->releaseHandleAt(150);
    QCOMPARE(treeSplitter->sizes().at(0), 150);

    TSplitter* lowerSplitter = form.Splitter1;  // resizes the settings area below it
    const int lowerShared = lowerSplitter->height() - lowerSplitter->handleWidth();
    lowerSplitter->releaseHandleAt(lowerShared - 20);
    QCOMPARE(lowerSplitter->sizes().at(1), 0);
  }
};

VELMORA_WINDOW_TEST_MAIN(FormMainStartUpTest)
#include "test_formmain_startup.moc"
