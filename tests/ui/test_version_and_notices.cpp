// StampVersion, and the two kinds of box every window shows its messages in.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <stdexcept>
#include <string>
#include <vector>

#include "sanitizers.h"
#include "ui/Notices.h"
#include "ui/UPub_Version.h"
#include "ui_test_support.h"

using namespace velmora;
using namespace velmora::testing;

class VersionAndNoticesTest : public QObject {
  Q_OBJECT

 private slots:
  void stampVersionReplacesEveryPlaceholder_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stamped");
    QTest::newRow("caption") << "Velmora V$V$"
                             << "Velmora V4.7";
    QTest::newRow("lower case") << "v$v$ and $V$"
                                << "v4.7 and 4.7";
    QTest::newRow("adjacent") << "$V$$v$"
                              << "4.74.7";
    QTest::newRow("no overlap") << "$V$V$"
                                << "4.7V$";
    QTest::newRow("inside dollars") << "$$V$$"
                                    << "$4.7$";
    QTest::newRow("incomplete") << "$V and V$"
                                << "$V and V$";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("chinese") << "版本$V$。"
                             << "版本4.7。";
  }
  void stampVersionReplacesEveryPlaceholder() {
    QFETCH(QString, text);
    QFETCH(QString, stamped);
    QCOMPARE(StampVersion(text, QStringLiteral("4.7")), stamped);
  }

  void errorTextsEndWithAFullStopWhereTheirLastCharacterSortsAbove_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Stream read error"
                            << "Stream read error.";
    QTest::newRow("digit") << "JPEG error #53"
                           << "JPEG error #53.";
    QTest::newRow("colon") << "Failed:"
                           << "Failed:.";
    QTest::newRow("separator") << "Cannot open /tmp/"
                               << "Cannot open /tmp/.";
    QTest::newRow("chinese") << "只能缩小"
                             << "只能缩小.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation") << "Stop!"
                                 << "Stop!";
    QTest::newRow("parenthesis") << "(none)"
                                 << "(none)";
    QTest::newRow("empty") << ""
                           << "";
  }
  void errorTextsEndWithAFullStopWhereTheirLastCharacterSortsAbove() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    RecordingPresenter boxes;
    showApplicationError(message);
    QCOMPARE(boxes.take(), QStringList{"error: " + shown});
  }

  void handlerErrorsReachTheErrorBoxOnly() {
    RecordingPresenter boxes;
    bool after = false;
    runHandler([&] {
      throw std::runtime_error("Stream read error");
      after = true;
    });
    QVERIFY(!after);
    QCOMPARE(boxes.take(), QStringList{"error: Stream read error."});
  }

  void errorTextsNeverNameALibraryClass() {
    RecordingPresenter boxes;
    runHandler([] { throw std::bad_alloc(); });
    runHandler([] { (void)std::string("abc").substr(9); });
    QStringList expected = {"error: Out of memory.", "error: Unknown error."};
    if (kFailedAllocationThrows) {
      runHandler([] { std::vector<char>(std::size_t(-1) / 2); });
      expected << "error: Out of memory.";
    }
    QCOMPARE(boxes.take(), expected);
  }

  void noticeIsAPlainBoxWithTheApplicationTitle() {
    auto notice = createNoticeDialog(QStringLiteral("请选择保存目录!"), NoticeKind::Notice);
    QCOMPARE(notice->windowTitle(), QStringLiteral("Velmora V2.0"));
    QVERIFY(!notice->findChild<QLabel*>(QStringLiteral("Icon")));
    const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
    auto* message = notice->findChild<QTextEdit*>(QStringLiteral("Message"));
    QCOMPARE(message->toPlainText(), QStringLiteral("请选择保存目录!"));
    // A short message stands on one line instead of being broken by the word wrap.
    QCOMPARE(message->document()->lineCount(), 1);
    // A long one wraps at half the screen, inside a word where it must, and shows every line.
    const QString longName =
        QStringLiteral("/tmp/") + QString(250, QLatin1Char('n')) + QStringLiteral(".jpg");
    auto longError = createNoticeDialog(
        QStringLiteral("Cannot create file \"%1\". File name too long.").arg(longName),
        NoticeKind::Error);
    longError->show();
    QVERIFY(QTest::qWaitForWindowExposed(longError.get()));
    auto* longMessage = longError->findChild<QTextEdit*>(QStringLiteral("Message"));
    QCOMPARE(longMessage->width(), halfScreen);
    QVERIFY(longMessage->document()->idealWidth() <= longMessage->viewport()->width());
    QVERIFY(longMessage->document()->size().height() <= longMessage->viewport()->height());
    const auto buttons = notice->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons.front()->text(), QStringLiteral("OK"));
    QVERIFY(buttons.front()->isDefault());

    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Escape)}) {
      auto box = createNoticeDialog(QStringLiteral("x"), NoticeKind::Notice);
      box->show();
      QVERIFY(QTest::qWaitForWindowExposed(box.get()));
      QTest::keyClick(box.get(), Qt::Key(key));
      QVERIFY(box->isHidden());
    }

    auto error = createNoticeDialog(QStringLiteral("JPEG error #53."), NoticeKind::Error,
                                    QStringLiteral("/photos/b.jpg"));
    QCOMPARE(error->windowTitle(), QStringLiteral("Velmora V2.0"));
    QVERIFY(error->findChild<QLabel*>(QStringLiteral("Icon")));
    // The text on screen stays as it is; a screen reader also says which file failed.
    QCOMPARE(error->findChild<QTextEdit*>(QStringLiteral("Message"))->toPlainText(),
             QStringLiteral("JPEG error #53."));
    QCOMPARE(error->accessibleDescription(), QStringLiteral("/photos/b.jpg"));
  }
};

VELMORA_WINDOW_TEST_MAIN(VersionAndNoticesTest)
#include "test_version_and_notices.moc"
