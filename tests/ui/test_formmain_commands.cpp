// The two commands: the checks before a run, the single-image command and the batch.

#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <utility>

#include "recording_opener.h"
#include "ui/FileListBox.h"
#include "ui/RzShellCtrls.h"
#include "ui/RzShellDialogs.h"
#include "ui/UnitFormMain.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

QStringList logLines(const TFormMain& form) {
  const QString text = form.Memo1->toPlainText();
  return text.isEmpty() ? QStringList{} : text.split('\n');
}

QString made(const QString& source, const QString& destination) {
  return "缩略图生成:" + source + "-->" + destination;
}

QString refused(const QString& source) { return "缩略图失败：" + source + "只能缩小！"; }

QSize jpegSize(const QString& path) {
  const FrameInfo frame = readFrame(readBytes(QFile::encodeName(path).toStdString()));
  if (!frame.parsed) return {};
  return QSize(static_cast<int>(frame.width), static_cast<int>(frame.height));
}

// A fresh folder of pictures below the test desktop.
QString pictureFolder(const QString& name, const QList<std::pair<QString, QSize>>& pictures) {
  const QString folder = testDesktop->desktop() + "/" + name;
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  for (const auto& [file, size] : pictures)
    writeJpeg(folder + "/" + file, size.width(), size.height());
  return folder;
}

// Records like RecordingPresenter, and acts while the first notice is open.
// Thumbnails of at most 40 x 40 into `folder`, keeping the names.
void intoFolderWithinForty(TFormMain& form, const QString& folder) {
  form.rbname2->click();
  form.ePath->setText(folder);
  form.rb5->click();
  form.editQH->setText(QStringLiteral("40"));
  form.editQW->setText(QStringLiteral("40"));
}

class ActingPresenter : public RecordingPresenter {
 public:
  explicit ActingPresenter(std::function<void()> act) : act_(std::move(act)) {}
  void notice(const QString& text) override {
    RecordingPresenter::notice(text);
    if (act_) std::exchange(act_, nullptr)();
  }

 private:
  std::function<void()> act_;
};

}  // namespace

class FormMainCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void theRunCheckRefusesInOrder_data() {
    QTest::addColumn<bool>("withFiles");
    QTest::addColumn<int>("namingRule");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("outputIsSource");
    QTest::addColumn<QString>("message");
    QTest::newRow("no files") << false << 2 << "" << false << "没有任何jpg图片需要生成缩略图!";
    QTest::newRow("two blanks as prefix")
        << true << 1 << "  " << true << "保存于同目录下，请输入前缀以区分原图!";
    QTest::newRow("no output folder") << true << 2 << "" << false << "请选择保存目录!";
    QTest::newRow("output is the source") << true << 2 << "tb" << true << "源目录和目标目录相同!";
    QTest::newRow("leftover output folder blocks rule 1")
        << true << 1 << "tb" << true << "源目录和目标目录相同!";
  }
  void theRunCheckRefusesInOrder() {
    QFETCH(bool, withFiles);
    QFETCH(int, namingRule);
    QFETCH(QString, prefix);
    QFETCH(bool, outputIsSource);
    QFETCH(QString, message);
    const QString folder = withFiles ? pictureFolder("checks", {{"a.jpg", QSize(64, 48)}})
                                     : pictureFolder("empty", {});

    for (const bool batch : {false, true}) {
      TFormMain form;
      selectFolder(form, folder);
      if (withFiles) selectFile(form, "a.jpg");
      (namingRule == 1 ? form.rbname1 : form.rbname2)->click();
      form.Edit2->setText(prefix);
      if (outputIsSource) form.ePath->setText(folder);
      form.Memo1->setPlainText(QStringLiteral("an earlier run"));

      RecordingPresenter boxes;
      batch ? form.SpeedButton2Click() : form.SpeedButton1Click();
      QCOMPARE(boxes.take(), QStringList{"notice: " + message});
      QCOMPARE(logLines(form), QStringList{});
      QVERIFY(form.ProgressBar1->isHidden());
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files), withFiles ? QStringList{"a.jpg"} : QStringList{});
  }

  void theSingleImageCommandNeedsASelection() {
    const QString folder = pictureFolder("unselected", {{"a.jpg", QSize(64, 48)}});
    TFormMain form;
    selectFolder(form, folder);
    form.Memo1->setPlainText(QStringLiteral("an earlier run"));
    RecordingPresenter boxes;
    form.SpeedButton1Click();
    QCOMPARE(boxes.take(), QStringList{"notice: 未选择jpg文件!"});
    QCOMPARE(logLines(form), QStringList{});
  }

  void theSingleImageCommandNamesItsThumbnail_data() {
    QTest::addColumn<int>("namingRule");
    QTest::addColumn<QString>("outputFolder");  // below the test desktop
    QTest::addColumn<QString>("destination");   // below the test desktop
    QTest::newRow("prefix in the source folder") << 1 << ""
                                                 << "single/tbphoto.jpg";
    QTest::newRow("chosen folder") << 2 << "out"
                                   << "out/photo.jpg";
    QTest::newRow("chosen folder with a separator") << 2 << "out/"
                                                    << "out/photo.jpg";
  }
  void theSingleImageCommandNamesItsThumbnail() {
    QFETCH(int, namingRule);
    QFETCH(QString, outputFolder);
    QFETCH(QString, destination);
    const QString desktop = testDesktop->desktop();
    const QString folder = pictureFolder("single", {{"photo.jpg", QSize(200, 100)}});
    QDir(desktop + "/out").removeRecursively();
    QDir().mkpath(desktop + "/out");

    TFormMain form;
    selectFolder(form, folder);
    selectFile(form, "photo.jpg");
    (namingRule == 1 ? form.rbname1 : form.rbname2)->click();
    if (!outputFolder.isEmpty()) form.ePath->setText(desktop + "/" + outputFolder);
    form.editRate->setText(QStringLiteral("25"));

    RecordingPresenter boxes;
    form.SpeedButton1Click();
    QCOMPARE(boxes.shown, QStringList{});
    QCOMPARE(logLines(form), QStringList{made(folder + "/photo.jpg", desktop + "/" + destination)});
    QCOMPARE(jpegSize(desktop + "/" + destination), QSize(50, 25));
  }

  void aDestinationThatCannotBeCreatedEndsTheCommandInTheErrorBox() {
    const QString folder = pictureFolder("nowhere", {{"photo.jpg", QSize(64, 48)}});
    TFormMain form;
    selectFolder(form, folder);
    selectFile(form, "photo.jpg");
    form.rbname2->click();
    const QString missing = testDesktop->desktop() + "/missing-folder";
    form.ePath->setText(missing);
    RecordingPresenter boxes;
    form.SpeedButton1Click();
    QCOMPARE(boxes.take(), QStringList{"error: Cannot create file \"" + missing +
                                       "/photo.jpg\". No such file or directory."});
    QCOMPARE(logLines(form), QStringList{});
  }

  void aBatchGoesOnPastARefusal() {
    const QString folder = pictureFolder(
        "batch",
        {{"a.jpg", QSize(400, 300)}, {"b.jpg", QSize(40, 30)}, {"c.jpg", QSize(400, 300)}});
    TFormMain form;
    selectFolder(form, folder);
    form.rb2->click();  // a fixed height of 100 pixels: the middle picture is too small
    form.editHH->setText(QStringLiteral("100"));
    QList<int> barValues;
    connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int value) { barValues << value; });

    RecordingPresenter boxes;
    const QStringList expected = {made(folder + "/a.jpg", folder + "/tba.jpg"),
                                  refused(folder + "/b.jpg"),
                                  made(folder + "/c.jpg", folder + "/tbc.jpg")};
    for (int run = 0; run < 2; ++run) {
      form.SpeedButton2Click();
      QCOMPARE(boxes.shown, QStringList{});
      QCOMPARE(logLines(form), expected);
      QCOMPARE(barValues, (QList<int>{0, 1, 2, 3}));
      QCOMPARE(form.ProgressBar1->maximum(), 3);
      QVERIFY(form.ProgressBar1->isHidden());
      // The thumbnails written beside the sources do not join the list until it is read again.
      QCOMPARE(form.FileListBox1->count(), 3);
      barValues.clear();
    }
    QCOMPARE(jpegSize(folder + "/tba.jpg"), QSize(133, 100));
    QCOMPARE(jpegSize(folder + "/tbc.jpg"), QSize(133, 100));
    QVERIFY(!QFile::exists(folder + "/tbb.jpg"));
    QVERIFY(!QFile::exists(folder + "/tbtba.jpg"));
  }

  void activationsDuringABatchWaitOrAreIgnored() {
    const QString folder = pictureFolder(
        "busy",
        {{"a.jpg", QSize(400, 300)}, {"b.jpg", QSize(400, 300)}, {"c.jpg", QSize(400, 300)}});
    const QString other = pictureFolder("busy-other", {{"z.jpg", QSize(64, 48)}});
    TFormMain form;
    form.show();
    selectFolder(form, folder);
    RecordingPresenter boxes;
    bool dialogOpened = false;
    // Runs inside the batch, where the window repaints: as activations over the accessibility
    // bus arrive. A dialog that opened anyway is closed, so the test cannot hang.
    QTimer::singleShot(0, [&] {
      QTimer::singleShot(200, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
          dialogOpened = true;
          modal->close();
        }
      });
      form.SpeedButton2->click();
      form.SpeedButton1->click();
      form.BTNAbout->click();
      form.ShellTreeView1->selectFolder(
          *form.ShellTreeView1->shellNamespace().parse(QFile::encodeName(other)));
      form.close();
      QVERIFY(form.isVisible());
    });
    form.SpeedButton2->click();
    QVERIFY(!dialogOpened);
    QCOMPARE(boxes.shown, QStringList{});
    QCOMPARE(logLines(form), (QStringList{made(folder + "/a.jpg", folder + "/tba.jpg"),
                                          made(folder + "/b.jpg", folder + "/tbb.jpg"),
                                          made(folder + "/c.jpg", folder + "/tbc.jpg")}));
    // The folder chosen meanwhile is listed once the batch is over; then the window closes.
    QCOMPARE(form.FileListBox1->Directory(), other);
    QVERIFY(!form.isVisible());
  }

  void commandsDoNothingWhileANoticeIsOpen() {
    const QString folder = pictureFolder("noticed", {{"a.jpg", QSize(400, 300)}});
    TFormMain form;
    form.show();
    selectFolder(form, folder);
    selectFile(form, "a.jpg");
    RecordingOpener opener(true);
    // While the field's notice is open, every button is activated as a screen reader can.
    bool dialogOpened = false;
    ActingPresenter boxes([&] {
      // A dialog that opened anyway is closed, so the test cannot hang.
      QTimer::singleShot(200, &form, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
          dialogOpened = true;
          modal->close();
        }
      });
      form.rbname2->click();
      for (QPushButton* button :
           {form.SpeedButton2, form.SpeedButton1, form.BtnSF, form.BTNAbout, form.BTNHomePage})
        button->click();
    });
    form.editRate->setText(QStringLiteral("150"));
    QVERIFY(!dialogOpened);
    QCOMPARE(boxes.take(), QStringList{"notice: 本程序只提供缩小图片功能！"});
    QCOMPARE(form.editRate->text(), QStringLiteral("100"));
    QCOMPARE(logLines(form), QStringList{});
    QVERIFY(opener.opened.empty());
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"a.jpg"});
  }

  void aCommandRefusesAValueItsFieldRefuses() {
    const QString folder = pictureFolder("unchecked", {{"a.jpg", QSize(400, 300)}});
    const struct {
      const char* rule;
      const char* field;
      const char* text;
      const char* message;
    } cases[] = {
        {"rb1", "editRate", "150", "本程序只提供缩小图片功能！"},
        {"rb4", "editH", "abc", "请输入数字！"},
        {"rb5", "editQW", "0", "最小尺寸为1！"},
    };
    for (const auto& refused : cases) {
      for (const bool batch : {false, true}) {
        TFormMain form;
        selectFolder(form, folder);
        selectFile(form, "a.jpg");
        form.findChild<QRadioButton*>(refused.rule)->click();
        // A text the field's own check has not seen yet.
        auto* edit = form.findChild<QLineEdit*>(refused.field);
        {
          const QSignalBlocker unchecked(edit);
          edit->setText(QString::fromUtf8(refused.text));
        }
        RecordingPresenter boxes;
        batch ? form.SpeedButton2Click() : form.SpeedButton1Click();
        QCOMPARE(boxes.take(), QStringList{"notice: " + QString::fromUtf8(refused.message)});
        QCOMPARE(edit->text(), QStringLiteral("100"));
        QCOMPARE(logLines(form), QStringList{});
      }
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"a.jpg"});
  }

  void aFolderNameThatIsNotUtf8WorksForBothCommands() {
    const QByteArray desktop = QFile::encodeName(testDesktop->desktop());
    const QByteArray cafe = desktop + "/caf\xe9";
    const QByteArray out = desktop + "/out\xe9";
    QVERIFY(::mkdir(cafe.constData(), 0755) == 0);
    QVERIFY(::mkdir(out.constData(), 0755) == 0);
    writeJpeg((cafe + "/a.jpg").toStdString(), 400, 300);

    TFormMain form;
    RecordingPresenter boxes;
    form.ShellTreeView1->selectFolder(*form.ShellTreeView1->shellNamespace().parse(cafe));
    QCOMPARE(form.FileListBox1->Directory(), cafe);
    QCOMPARE(form.FileListBox1->count(), 1);
    form.SpeedButton2Click();
    QVERIFY(::access((cafe + "/tba.jpg").constData(), F_OK) == 0);

    form.rbname2->click();
    QTimer::singleShot(0, &form, [&] {
      TRzSelectFolderForm* chooser = form.RzSelectFolderDialog1->form();
      chooser->ShellTree->selectFolder(*chooser->ShellTree->shellNamespace().parse(out));
      chooser->btnOk->click();
    });
    form.BtnSF->click();
    selectFile(form, "a.jpg");
    form.SpeedButton1Click();
    QCOMPARE(boxes.shown, QStringList{});
    QVERIFY(::access((out + "/a.jpg").constData(), F_OK) == 0);
    // Qt's own clean-up of the temporary desktop cannot name these folders.
    for (const QByteArray& made : {cafe + "/a.jpg", cafe + "/tba.jpg", out + "/a.jpg"})
      QVERIFY(::unlink(made.constData()) == 0);
    QVERIFY(::rmdir(cafe.constData()) == 0 && ::rmdir(out.constData()) == 0);
  }

  void aBatchIntoTheChosenFolderKeepsTheNames() {
    const QString folder =
        pictureFolder("tofolder", {{"a.jpg", QSize(400, 300)}, {"b.jpeg", QSize(300, 400)}});
    const QString out = testDesktop->desktop() + "/batch-out";
    QDir().mkpath(out);
    TFormMain form;
    selectFolder(form, folder);
    intoFolderWithinForty(form, out);
    RecordingPresenter boxes;
    form.SpeedButton2Click();
    QCOMPARE(boxes.shown, QStringList{});
    QCOMPARE(logLines(form), (QStringList{made(folder + "/a.jpg", out + "/a.jpg"),
                                          made(folder + "/b.jpeg", out + "/b.jpeg")}));
    QVERIFY(QFile::exists(out + "/a.jpg"));
    QVERIFY(QFile::exists(out + "/b.jpeg"));
  }

  // A source that is a link to a file in the output folder is that very file: both commands
  // end in the error box and the photo stays as it was.
  void aSourceLinkedIntoTheOutputFolderIsNeverReplaced() {
    const QString nature = pictureFolder("Nature", {{"Aqua.jpg", QSize(400, 300)}});
    const QString favs = pictureFolder("Favs", {});
    QVERIFY(QFile::link("../Nature/Aqua.jpg", favs + "/Aqua.jpg"));
    for (const bool batch : {false, true}) {
      TFormMain form;
      selectFolder(form, favs);
      selectFile(form, "Aqua.jpg");
      intoFolderWithinForty(form, nature);
      RecordingPresenter boxes;
      batch ? form.SpeedButton2Click() : form.SpeedButton1Click();
      QCOMPARE(boxes.take(), QStringList{"error: 源目录和目标目录相同!"});
      QCOMPARE(jpegSize(nature + "/Aqua.jpg"), QSize(400, 300));
    }
  }
};

VELMORA_WINDOW_TEST_MAIN(FormMainCommandsTest)
#include "test_formmain_commands.moc"
