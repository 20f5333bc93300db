// The settings panel: the sizing and naming radio buttons, the numeric fields validated as
// they are typed, and the two-byte prefix field.

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include "ui/RzShellCtrls.h"
#include "ui/RzShellDialogs.h"
#include "ui/RzShellFolderForm.h"
#include "ui/UnitFormMain.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

// Also notes what the field read at the moment each box appeared, which tells whether the
// text was reset before or after the message.
class FieldWatchingPresenter : public RecordingPresenter {
 public:
  explicit FieldWatchingPresenter(QLineEdit* field) : field_(field) {}
  void notice(const QString& text) override {
    RecordingPresenter::notice(text + QStringLiteral(" [") + field_->text() + QStringLiteral("]"));
  }

 private:
  QLineEdit* field_;
};

QLineEdit* fieldNamed(TFormMain& form, const QString& name) {
  return form.findChild<QLineEdit*>(name);
}

}  // namespace

class FormMainSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void typedTextIsValidatedAtEveryKey_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("finalText");
    const QString aboveRate = "notice: 本程序只提供缩小图片功能！";
    const QString aboveSize = "notice: 最大尺寸为1000！";
    const QString notNumber = "notice: 请输入数字！ [100]";
    QTest::newRow("rate 150") << "editRate"
                              << "150" << QStringList{aboveRate + " [150]"} << "100";
    QTest::newRow("rate 99") << "editRate"
                             << "99" << QStringList{} << "99";
    QTest::newRow("height 1001") << "editH"
                                 << "1001" << QStringList{aboveSize + " [1001]"} << "100";
    QTest::newRow("height 1000") << "editH"
                                 << "1000" << QStringList{} << "1000";
    QTest::newRow("zero") << "editWW"
                          << "0" << QStringList{"notice: 最小尺寸为1！ [0]"} << "100";
    QTest::newRow("lone minus") << "editQH"
                                << "-" << QStringList{notNumber} << "100";
    QTest::newRow("letter") << "editW"
                            << "a" << QStringList{notNumber} << "100";
  }
  void typedTextIsValidatedAtEveryKey() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    QFETCH(QString, finalText);
    TFormMain form;
    QLineEdit* edit = fieldNamed(form, field);
    edit->setEnabled(true);
    FieldWatchingPresenter boxes(edit);
    edit->selectAll();
    for (int i = 0; i < typed.size(); ++i) {
      QTest::keyClick(edit, typed.at(i).toLatin1());
      // Only the last key may complete an invalid entry.
      if (i + 1 < typed.size()) QCOMPARE(boxes.shown, QStringList{});
    }
    QCOMPARE(boxes.take(), shown);
    QCOMPARE(edit->text(), finalText);
  }

  void pastedTextIsValidatedAsAWhole_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("finalText");
    const QString notNumber = "notice: 请输入数字！ [100]";
    QTest::newRow("hexadecimal") << "editH"
                                 << "$20" << QStringList{} << "$20";
    QTest::newRow("0x prefix") << "editQW"
                               << "0x3E8" << QStringList{} << "0x3E8";
    QTest::newRow("hex above") << "editQW"
                               << "0x3E9" << QStringList{"notice: 最大尺寸为1000！ [0x3E9]"}
                               << "100";
    QTest::newRow("leading space") << "editH"
                                   << " 20" << QStringList{} << " 20";
    QTest::newRow("trailing space") << "editH"
                                    << "20 " << QStringList{notNumber} << "100";
    QTest::newRow("negative") << "editRate"
                              << "-5" << QStringList{"notice: 最小尺寸为1！ [-5]"} << "100";
    QTest::newRow("beyond 32 bits") << "editHH"
                                    << "2147483648" << QStringList{notNumber} << "100";
    QTest::newRow("lowest integer")
        << "editHH"
        << "-2147483648" << QStringList{"notice: 最小尺寸为1！ [-2147483648]"} << "100";
  }
  void pastedTextIsValidatedAsAWhole() {
    QFETCH(QString, field);
    QFETCH(QString, pasted);
    QFETCH(QStringList, shown);
    QFETCH(QString, finalText);
    TFormMain form;
    QLineEdit* edit = fieldNamed(form, field);
    FieldWatchingPresenter boxes(edit);
    edit->selectAll();
    edit->insert(pasted);
    QCOMPARE(boxes.take(), shown);
    QCOMPARE(edit->text(), finalText);
  }

  void resetRaisesOneNestedChangeThatPassesSilently() {
    TFormMain form;
    RecordingPresenter boxes;
    QSignalSpy changes(form.editRate, &QLineEdit::textChanged);
    form.editRate->selectAll();
    QTest::keyClicks(form.editRate, "150");
    QCOMPARE(boxes.take(), QStringList{"notice: 本程序只提供缩小图片功能！"});
    QStringList texts;
    for (const auto& change : changes) texts << change.at(0).toString();
    // The reset's change is raised inside the handling of "150", so it reaches later
    // listeners first.
    QCOMPARE(texts, (QStringList{"1", "15", "100", "150"}));

    // Setting a field that already reads "100" raises nothing.
    changes.clear();
    form.editRate->setText(QStringLiteral("100"));
    QCOMPARE(changes.size(), 0);
  }

  void clearingAFieldResetsIt() {
    TFormMain form;
    form.rb5->click();
    RecordingPresenter boxes;
    form.editQW->setFocus();
    form.editQW->selectAll();
    QTest::keyClick(form.editQW, Qt::Key_Delete);
    QCOMPARE(boxes.take(), QStringList{"notice: 请输入数字！"});
    QCOMPARE(form.editQW->text(), QStringLiteral("100"));
  }

  void sizingButtonsEnableExactlyTheirFields_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("enabled");
    QTest::newRow("rb1") << "rb1" << QStringList{"editRate"};
    QTest::newRow("rb2") << "rb2" << QStringList{"editHH"};
    QTest::newRow("rb3") << "rb3" << QStringList{"editWW"};
    QTest::newRow("rb4") << "rb4" << QStringList{"editH", "editW"};
    QTest::newRow("rb5") << "rb5" << QStringList{"editQH", "editQW"};
  }
  void sizingButtonsEnableExactlyTheirFields() {
    QFETCH(QString, button);
    QFETCH(QStringList, enabled);
    TFormMain form;
    form.rb4->click();  // start away from the start-up state
    form.editH->setText(QStringLiteral("321"));
    form.findChild<QRadioButton*>(button)->click();
    for (const char* name :
         {"editRate", "editHH", "editWW", "editH", "editW", "editQH", "editQW"}) {
      const QString field = QString::fromLatin1(name);
      QCOMPARE(fieldNamed(form, field)->isEnabled(), enabled.contains(field));
    }
    QCOMPARE(form.editH->text(), QStringLiteral("321"));
  }

  void namingButtonsSwitchTheFolderButton() {
    TFormMain form;
    form.ePath->setText(QStringLiteral("/somewhere"));
    form.rbname2->click();
    QVERIFY(form.BtnSF->isEnabled());
    form.rbname1->click();
    QVERIFY(!form.BtnSF->isEnabled());
    QCOMPARE(form.ePath->text(), QStringLiteral("/somewhere"));
    QCOMPARE(form.Edit2->text(), QStringLiteral("tb"));
  }

  void theFolderButtonFillsTheOutputFolder_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("pickInChooser");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("after");
    const QString desktop = testDesktop->desktop();
    const QString out = desktop + "/out";
    QDir().mkpath(out);
    QTest::newRow("empty, confirmed") << ""
                                      << "" << true << desktop;
    QTest::newRow("folder kept") << out << "" << true << out;
    QTest::newRow("folder picked") << "" << out << true << out;
    QTest::newRow("cancelled") << out << desktop << false << out;
  }
  void theFolderButtonFillsTheOutputFolder() {
    QFETCH(QString, before);
    QFETCH(QString, pickInChooser);
    QFETCH(bool, confirm);
    QFETCH(QString, after);
    TFormMain form;
    RecordingPresenter boxes;
    form.ePath->setText(before);
    form.rbname2->click();
    bool chooserShown = false;
    QTimer::singleShot(0, &form, [&] {
      TRzSelectFolderForm* chooser = form.RzSelectFolderDialog1->form();
      QVERIFY(chooser);
      chooserShown = true;
      if (!pickInChooser.isEmpty())
        chooser->ShellTree->selectFolder(
            *chooser->ShellTree->shellNamespace().parse(QFile::encodeName(pickInChooser)));
      (confirm ? chooser->btnOk : chooser->btnCancel)->click();
    });
    QTest::mouseClick(form.BtnSF, Qt::LeftButton);
    QVERIFY(chooserShown);
    QCOMPARE(form.ePath->text(), after);
    QCOMPARE(boxes.shown, QStringList{});
  }

  void prefixHoldsAtMostTwoBytes_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("typedOrPasted");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("typing a third letter") << "tb" << 2 << "c" << true << "tb";
    QTest::newRow("typing two letters") << "" << 0 << "ab" << true << "ab";
    QTest::newRow("typing a chinese character") << "" << 0 << "缩" << true << "缩";
    QTest::newRow("chinese after a letter") << "a" << 1 << "缩" << true << "a";
    QTest::newRow("letter after chinese") << "缩" << 1 << "a" << true << "缩";
    QTest::newRow("pasting too much") << "" << 0 << "abc" << false << "ab";
    QTest::newRow("pasting two chinese") << "" << 0 << "缩略" << false << "缩";
    QTest::newRow("pasting letter and chinese") << "" << 0 << "a缩" << false << "a";
    QTest::newRow("pasting in front") << "b" << 0 << "xyz" << false << "xb";
    QTest::newRow("typing an emoji") << "" << 0 << "😀" << true << "";
    QTest::newRow("pasting past an emoji") << "" << 0 << "a😀b" << false << "a";
    QTest::newRow("symbol of one gbk byte") << "a" << 1 << "€" << true << "a€";
  }
  void prefixHoldsAtMostTwoBytes() {
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, typedOrPasted);
    QFETCH(bool, typed);
    QFETCH(QString, after);
    TFormMain form;
    form.Edit2->setText(before);
    form.Edit2->setCursorPosition(cursor);
    if (typed) {
      for (const char32_t c : typedOrPasted.toUcs4())
        QTest::sendKeyEvent(QTest::Click, form.Edit2, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                            Qt::NoModifier);
    } else {
      form.Edit2->insert(typedOrPasted);
    }
    QCOMPARE(form.Edit2->text(), after);
  }
};

VELMORA_WINDOW_TEST_MAIN(FormMainSettingsTest)
#include "test_formmain_settings.moc"
