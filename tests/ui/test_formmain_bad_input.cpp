// Malformed files through the window's batch command, each between two good files of one
// folder: the log lines and the progress bar up to it, its own outcome, and for an error the
// error box naming the file, with the batch stopping there. The engine's tests run the whole
// table; here one row of each outcome, and one sized by the fit rule.

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>

#include "../support/bad_inputs.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "ui/FileListBox.h"
#include "ui/RzShellCtrls.h"
#include "ui/UnitFormMain.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

QByteArray bytesOf(const testing::Bytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QStringList logLines(const TFormMain& form) {
  const QString text = form.Memo1->toPlainText();
  return text.isEmpty() ? QStringList{} : text.split('\n');
}

QString lineFor(const QString& folder, const QString& name, bool made) {
  const std::string source = (folder + "/" + name).toStdString();
  const std::string destination = (folder + "/tb" + name).toStdString();
  return QString::fromStdString(made ? successLine(source, destination) : refusalLine(source));
}

const std::vector<testing::BadInput>& rows() {
  static const std::vector<testing::BadInput> chosen = testing::badInputsNamed(
      {"zero_bytes", "png_named_jpg", "cut_inside_scan", "claims_65000_square"});
  return chosen;
}

void chooseSizing(TFormMain& form, const SizingRequest& sizing) {
  if (sizing.mode == SizingMode::Fit) {
    form.rb5->click();
    form.editQH->setText(QString::number(sizing.heightValue));
    form.editQW->setText(QString::number(sizing.widthValue));
  } else {
    form.rb1->click();
    form.editRate->setText(QString::number(sizing.rate));
  }
}

}  // namespace

class FormMainBadInputTest : public QObject {
  Q_OBJECT

 private slots:
  void eachFileEndsInItsOutcome_data() {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < rows().size(); ++i)
      QTest::newRow(rows()[i].name.c_str()) << static_cast<int>(i);
  }
  void eachFileEndsInItsOutcome() {
    QFETCH(int, row);
    const testing::BadInput& input = rows()[static_cast<std::size_t>(row)];
    const QString folder = testDesktop->desktop() + "/bad-" + QString::fromStdString(input.name);
    QDir(folder).removeRecursively();
    writeFile(folder + "/a.jpg", bytesOf(testing::plain()));
    writeFile(folder + "/b.jpg", bytesOf(input.bytes()));
    writeFile(folder + "/c.jpg", bytesOf(testing::plain()));

    TFormMain form;
    const auto located = form.ShellTreeView1->shellNamespace().parse(QFile::encodeName(folder));
    QVERIFY(located.has_value());
    form.ShellTreeView1->selectFolder(*located);
    QCOMPARE(form.FileListBox1->count(), 3);
    chooseSizing(form, input.sizing);
    QList<int> barValues;
    connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int value) { barValues << value; });
    RecordingPresenter boxes;
    form.SpeedButton2Click();

    const bool goodMade = Decide(64, 48, input.sizing).has_value();
    QStringList expectedLines = {lineFor(folder, "a.jpg", goodMade)};
    QStringList expectedBoxes;
    QStringList expectedBoxFiles;
    QList<int> expectedBar = {0, 1};
    QStringList expectedFiles = {"a.jpg", "b.jpg", "c.jpg"};
    if (goodMade) expectedFiles << "tba.jpg";
    if (input.outcome == testing::Outcome::Failed) {
      // The error box ends the text with a full stop after a letter or digit.
      expectedBoxes << "error: " + QString::fromStdString(input.errorText) + ".";
      expectedBoxFiles << folder + "/b.jpg";
    } else {
      const bool made = input.outcome == testing::Outcome::Made;
      expectedLines << lineFor(folder, "b.jpg", made) << lineFor(folder, "c.jpg", goodMade);
      expectedBar << 2 << 3;
      if (made) expectedFiles << "tbb.jpg";
      if (goodMade) expectedFiles << "tbc.jpg";
    }
    QCOMPARE(logLines(form), expectedLines);
    QCOMPARE(boxes.take(), expectedBoxes);
    QCOMPARE(boxes.errorFiles, expectedBoxFiles);
    QCOMPARE(barValues, expectedBar);
    expectedFiles.sort();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expectedFiles);
  }
};

VELMORA_WINDOW_TEST_MAIN(FormMainBadInputTest)
#include "test_formmain_bad_input.moc"
