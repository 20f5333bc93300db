// Browsing: the folder tree drives the file list, the file list drives the preview.

#include <QLabel>
#include <QPixmap>

#include "ui/FileListBox.h"
#include "ui/RzShellCtrls.h"
#include "ui/UnitFormMain.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

void selectComputerNode(TFormMain& form) {
  QTreeWidgetItem* root = form.ShellTreeView1->rootNode();
  QVERIFY(root);
  for (int i = 0; i < root->childCount(); ++i) {
    if (root->child(i)->text(0) == computerName()) {
      form.ShellTreeView1->setCurrentItem(root->child(i));
      return;
    }
  }
  QFAIL("no computer node below the desktop");
}

QStringList listed(const TFormMain& form) {
  QStringList names;
  for (int row = 0; row < form.FileListBox1->count(); ++row)
    names << form.FileListBox1->item(row)->text();
  return names;
}

}  // namespace

class FormMainBrowsingTest : public QObject {
  Q_OBJECT

  QString pics_;
  QString previews_;

 private slots:
  void initTestCase() {
    pics_ = testDesktop->desktop() + "/pics";
    writeJpeg(pics_ + "/B.JPG", 16, 16);
    writeJpeg(pics_ + "/a.jpeg", 16, 16);
    writeJpeg(pics_ + "/c.jpg", 16, 16);
    writeJpeg(pics_ + "/.h.jpg", 16, 16);
    writeFile(pics_ + "/notes.txt", "text");
    writeFile(pics_ + "/photo.jpg.bak", "text");
    QDir().mkpath(pics_ + "/x.jpg");

    previews_ = testDesktop->desktop() + "/previews";
    writeJpeg(previews_ + "/s150x100.jpg", 150, 100);
    writeJpeg(previews_ + "/l1024x768.jpg", 1024, 768);
    writeJpeg(previews_ + "/p768x1024.jpg", 768, 1024);
    writeJpeg(previews_ + "/m300x200.jpg", 300, 200);
    writeFile(previews_ + "/broken.jpg", "this is not a JPEG file");
  }

  void selectingAFolderListsItsJpegFiles() {
    TFormMain form;
    selectFolder(form, pics_);
    QCOMPARE(listed(form), (QStringList{"a.jpeg", "B.JPG", "c.jpg"}));
    QCOMPARE(form.FileListBox1->Directory(), pics_);
    QVERIFY(form.FileListBox1->selectedItems().isEmpty());
    QVERIFY(form.FileListBox1->FileName().isEmpty());

    selectFile(form, "B.JPG");
    QCOMPARE(form.FileListBox1->FileName(), pics_ + "/B.JPG");
  }

  void theListIsReadAgainOnEverySelection() {
    TFormMain form;
    selectFolder(form, pics_);
    writeJpeg(pics_ + "/d.jpg", 16, 16);
    selectFolder(form, testDesktop->desktop());
    selectFolder(form, pics_);
    QCOMPARE(listed(form), (QStringList{"a.jpeg", "B.JPG", "c.jpg", "d.jpg"}));
    QFile::remove(pics_ + "/d.jpg");
  }

  void theListKeepsItsFolderInAbsoluteForm_data() {
    QTest::addColumn<QString>("pointedAt");
    QTest::addColumn<QString>("directory");
    QTest::newRow("root keeps its separator") << "/"
                                              << "/";
    QTest::newRow("trailing separator dropped") << "PICS/"
                                                << "PICS";
    QTest::newRow("dot segments resolved") << "PICS/../pics"
                                           << "PICS";
  }
  void theListKeepsItsFolderInAbsoluteForm() {
    QFETCH(QString, pointedAt);
    QFETCH(QString, directory);
    pointedAt.replace("PICS", pics_);
    directory.replace("PICS", pics_);
    TFileListBox list;
    QVERIFY(list.setDirectory(QFile::encodeName(pointedAt), true));
    QCOMPARE(list.Directory(), directory);
  }

  void theComputerNodeEmptiesTheListAndKeepsItsFolder() {
    TFormMain form;
    selectFolder(form, pics_);
    selectComputerNode(form);
    QCOMPARE(form.ShellTreeView1->path(), computerName());
    QCOMPARE(form.FileListBox1->count(), 0);
    QCOMPARE(form.FileListBox1->Directory(), pics_);
    selectFolder(form, pics_);
    QCOMPARE(form.FileListBox1->count(), 3);
  }

  void aFolderThatVanishedLeavesTheListEmpty() {
    RecordingPresenter boxes;
    const QString doomed = testDesktop->desktop() + "/doomed";
    writeJpeg(doomed + "/z.jpg", 16, 16);
    TFormMain form;
    selectFolder(form, doomed);
    QTreeWidgetItem* doomedNode = form.ShellTreeView1->currentItem();
    selectFolder(form, pics_);
    QDir(doomed).removeRecursively();
    form.ShellTreeView1->setCurrentItem(doomedNode);
    QCOMPARE(form.FileListBox1->count(), 0);
    QCOMPARE(form.FileListBox1->Directory(), pics_);
    QVERIFY(boxes.shown.isEmpty());
  }

  void previewIsReducedByAnIntegerFactor_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sizeLabel");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("fits") << "s150x100.jpg"
                          << "尺寸:150x100" << QSize(150, 100);
    QTest::newRow("landscape, factor 5") << "l1024x768.jpg"
                                         << "尺寸:1024x768" << QSize(204, 153);
    QTest::newRow("portrait, factor 4") << "p768x1024.jpg"
                                        << "尺寸:768x1024" << QSize(192, 256);
    QTest::newRow("factor 0 becomes 1") << "m300x200.jpg"
                                        << "尺寸:300x200" << QSize(300, 200);
  }
  void previewIsReducedByAnIntegerFactor() {
    QFETCH(QString, file);
    QFETCH(QString, sizeLabel);
    QFETCH(QSize, shown);
    RecordingPresenter boxes;
    TFormMain form;
    form.show();
    form.Image1->setFixedSize(179, 236);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.Image1->size(), QSize(179, 236));
    selectFolder(form, previews_);
    selectFile(form, file);
    QCOMPARE(form.LabFile->text(), sizeLabel);
    QCOMPARE(form.Image1->pixmap().size(), shown);
    QVERIFY(form.Image1->alignment() & Qt::AlignCenter);
    QVERIFY(boxes.shown.isEmpty());
  }

  void aPreviewAreaOfNoSizeShowsNothingButTheSize() {
    RecordingPresenter boxes;
    TFormMain form;
    form.Image1->setFixedSize(0, 0);
    selectFolder(form, previews_);
    selectFile(form, "s150x100.jpg");
    QVERIFY(form.Image1->pixmap().isNull());
    QCOMPARE(form.LabFile->text(), QStringLiteral("尺寸:150x100"));
    QVERIFY(boxes.shown.isEmpty());
  }

  void aBrokenFileKeepsThePreviousPreview() {
    RecordingPresenter boxes;
    TFormMain form;
    form.Image1->setFixedSize(179, 236);
    selectFolder(form, previews_);
    selectFile(form, "s150x100.jpg");
    const qint64 shownKey = form.Image1->pixmap().cacheKey();
    selectFile(form, "broken.jpg");

    const QStringList shown = boxes.take();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.front().startsWith("error: JPEG error #"), qPrintable(shown.front()));
    QVERIFY(shown.front().endsWith("."));
    QCOMPARE(form.LabFile->text(), QStringLiteral("尺寸:150x100"));
    QCOMPARE(form.Image1->pixmap().cacheKey(), shownKey);
  }

  void thePreviewStaysAfterSwitchingFolders() {
    RecordingPresenter boxes;
    TFormMain form;
    selectFolder(form, previews_);
    selectFile(form, "s150x100.jpg");
    selectFolder(form, pics_);
    QCOMPARE(form.LabFile->text(), QStringLiteral("尺寸:150x100"));
    QCOMPARE(form.Image1->pixmap().size(), QSize(150, 100));
  }
};

VELMORA_WINDOW_TEST_MAIN(FormMainBrowsingTest)
#include "test_formmain_browsing.moc"
