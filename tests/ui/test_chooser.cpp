// The folder chooser over a desktop of its own (HOME and XDG_DESKTOP_DIR point at a temporary
// folder). Modal showings are driven from a zero-delay timer that runs inside the modal loop.

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "ui/RzShellCtrls.h"
#include "ui/RzShellDialogs.h"
#include "ui/RzShellFolderForm.h"

using namespace velmora;

namespace {

// Shows the chooser and runs `during` on its window once it is up; `during` must close it.
bool runChooser(TRzSelectFolderDialog& dialog,
                const std::function<void(TRzSelectFolderForm&)>& during) {
  QTimer::singleShot(0, &dialog, [&dialog, during] {
    QVERIFY(dialog.form());
    QVERIFY(dialog.form()->isVisible());
    during(*dialog.form());
  });
  return dialog.showChooser();
}

void pressOk(TRzSelectFolderForm& form) { form.btnOk->click(); }
void pressCancel(TRzSelectFolderForm& form) { form.btnCancel->click(); }

QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const QString& name) {
  for (int i = 0; i < parent->childCount(); ++i) {
    if (parent->child(i)->text(0) == name) return parent->child(i);
  }
  return nullptr;
}

}  // namespace

class ChooserTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString desktop_;

  QString expand(QString text) const {
    return text.replace("%D%", desktop_).replace("%T%", temp_.path());
  }

 private slots:
  void initTestCase() {
    QVERIFY(temp_.isValid());
    desktop_ = temp_.filePath("home/Desktop");
    QVERIFY(QDir().mkpath(desktop_ + "/photos/2024/june"));
    QVERIFY(QDir().mkpath(desktop_ + "/other"));
    QVERIFY(QDir().mkpath(temp_.filePath("outside/deep")));
    qputenv("HOME", QFile::encodeName(temp_.filePath("home")));
    qputenv("XDG_DESKTOP_DIR", QFile::encodeName(desktop_));
  }

  void okReturnsTheStartingFolder_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("returned");
    QTest::newRow("empty gives the desktop root") << ""
                                                  << "桌面"
                                                  << "%D%";
    QTest::newRow("file-system root keeps its separator") << "/"
                                                          << "/"
                                                          << "/";
    QTest::newRow("deep folder, trailing separator dropped") << "%D%/photos/2024/june/"
                                                             << "june"
                                                             << "%D%/photos/2024/june";
    QTest::newRow("folder outside home, through the computer") << "%T%/outside/deep"
                                                               << "deep"
                                                               << "%T%/outside/deep";
    QTest::newRow("missing folder gives the root") << "%D%/gone"
                                                   << "桌面"
                                                   << "%D%";
    QTest::newRow("relative path gives the root") << "photos"
                                                  << "桌面"
                                                  << "%D%";
  }
  void okReturnsTheStartingFolder() {
    QFETCH(QString, start);
    QFETCH(QString, caption);
    QFETCH(QString, returned);
    TRzSelectFolderDialog dialog;
    dialog.setFolderPath(QFile::encodeName(expand(start)));
    QString shownCaption;
    QString status;
    const bool confirmed = runChooser(dialog, [&](TRzSelectFolderForm& form) {
      shownCaption = form.ShellTree->currentItem()->text(0);
      status = form.statusText();
      pressOk(form);
    });
    QVERIFY(confirmed);
    QCOMPARE(shownCaption, caption);
    QCOMPARE(dialog.folderPath(), expand(returned));
    QVERIFY(!status.isEmpty());
    QVERIFY(expand(returned).endsWith(status.mid(status.lastIndexOf('/'))));
    QVERIFY(!dialog.executing());
    QVERIFY(!dialog.form());
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void computerNodeReturnsEmptyText() {
    TRzSelectFolderDialog dialog;
    const bool confirmed = runChooser(dialog, [](TRzSelectFolderForm& form) {
      form.ShellTree->setCurrentItem(childNamed(form.ShellTree->rootNode(), "计算机"));
      QCOMPARE(form.statusText(), QString());
      pressOk(form);
    });
    QVERIFY(confirmed);
    QCOMPARE(dialog.folderPath(), QString());
  }

  void everyOtherWayOutKeepsTheFolder_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close box") << 2;
  }
  void everyOtherWayOutKeepsTheFolder() {
    QFETCH(int, way);
    TRzSelectFolderDialog dialog;
    dialog.setFolderPath(QFile::encodeName(desktop_ + "//photos/"));
    const bool confirmed = runChooser(dialog, [way](TRzSelectFolderForm& form) {
      form.ShellTree->setCurrentItem(childNamed(form.ShellTree->rootNode(), "other"));
      if (way == 0) pressCancel(form);
      if (way == 1) QTest::keyClick(&form, Qt::Key_Escape);
      if (way == 2) form.close();
    });
    QVERIFY(!confirmed);
    QCOMPARE(dialog.folderPath(), desktop_ + "/photos");
  }

  void laterShowingsReopenWhereTheUserLeftTheWindow() {
    TRzSelectFolderDialog dialog;
    QCOMPARE(dialog.formWidth(), -1);
    QRect first;
    runChooser(dialog, [&first](TRzSelectFolderForm& form) {
      first = form.geometry();
      form.setGeometry(40, 50, 500, 420);
      pressCancel(form);
    });
    QCOMPARE(first.size(), QSize(358, 325));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(first.center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(first.center().y() - screen.center().y()) <= 1);
    QCOMPARE(QRect(dialog.formLeft(), dialog.formTop(), dialog.formWidth(), dialog.formHeight()),
             QRect(40, 50, 500, 420));
    QCOMPARE(dialog.formPosition(), TPosition::poDesigned);

    QRect second;
    runChooser(dialog, [&second](TRzSelectFolderForm& form) {
      second = form.geometry();
      form.showMaximized();
      pressOk(form);
    });
    QCOMPARE(second, QRect(40, 50, 500, 420));
    QCOMPARE(dialog.formWindowState(), Qt::WindowMaximized);
    QCOMPARE(dialog.formWidth(), 500);

    bool maximized = false;
    runChooser(dialog, [&maximized](TRzSelectFolderForm& form) {
      maximized = form.isMaximized();
      pressCancel(form);
    });
    QVERIFY(maximized);
  }

  void showingDuringAShowingIsRefused() {
    TRzSelectFolderDialog dialog;
    QString error;
    bool stillOpen = false;
    runChooser(dialog, [&](TRzSelectFolderForm& form) {
      try {
        dialog.showChooser();
      } catch (const EShellDialogError& e) {
        error = QString::fromUtf8(e.what());
      }
      stillOpen = form.isVisible() && dialog.executing();
      pressCancel(form);
    });
    QCOMPARE(error, QString("TRzSelectFolderDialog already executing"));
    QVERIFY(stillOpen);
    QVERIFY(!dialog.executing());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(runChooser(dialog, pressOk));
  }

  void windowKeepsItsLayoutWhenResized() {
    TRzSelectFolderDialog dialog;
    runChooser(dialog, [](TRzSelectFolderForm& form) {
      QCOMPARE(form.windowTitle(), QString("Browse for Folder"));
      QVERIFY(!form.btnNewFolder->isVisible());
      QVERIFY(!form.btnDeleteFolder->isVisible());
      QVERIFY(form.btnOk->isDefault());
      QVERIFY(form.ShellTree->rootIsDecorated());
      QCOMPARE(form.ShellTree->indentation(), 19);
      QCOMPARE(form.ShellTree->y(), 8);
      for (const QSize size : {QSize(358, 325), QSize(640, 480)}) {
        form.resize(size);
        const int w = form.width();
        const int h = form.height();
        QCOMPARE(form.RzStatusBar1->geometry(), QRect(0, h - 19, w, 19));
        QCOMPARE(form.ButtonPanel->geometry(), QRect(0, h - 19 - 29, w, 29));
        QCOMPARE(form.ShellTree->geometry(), QRect(8, 8, w - 16, h - 19 - 29 - 4 - 8));
        QCOMPARE(form.btnCancel->geometry(), QRect(w - 75 - 8, 2, 75, 23));
        QCOMPARE(form.btnOk->geometry(), QRect(w - 2 * (75 + 8), 2, 75, 23));
      }
      form.resize(100, 100);
      // The outer size stops at 366 x 340, but never asks for more than the design size.
      const QSize frame = form.frameGeometry().size() - form.size();
      QCOMPARE(form.size(), QSize(qMin(366 - frame.width(), 358), qMin(340 - frame.height(), 325)));
      pressCancel(form);
    });
  }

  void statusBarShowsTheShortenedPath() {
    const QString deep = desktop_ + "/photos/2024/june";
    TRzSelectFolderDialog dialog;
    dialog.setFolderPath(QFile::encodeName(deep));
    runChooser(dialog, [&deep](TRzSelectFolderForm& form) {
      QCOMPARE(form.statusText(), ShortenPathForWidth(deep, form.font(), 358 - 20));
      pressCancel(form);
    });
  }

  void optionsShowTheToolButtonsAndCreateFolders() {
    TRzSelectFolderDialog dialog;
    dialog.setOptions(dialog.options() | TRzSelectFolderDialogOption::sfdoCreateDeleteButtons);
    dialog.setFolderPath(QFile::encodeName(desktop_ + "/other"));
    dialog.setTitle("Pick");
    runChooser(dialog, [](TRzSelectFolderForm& form) {
      QCOMPARE(form.windowTitle(), QString("Pick"));
      QVERIFY(form.btnNewFolder->isVisible());
      QCOMPARE(form.ShellTree->y(), form.btnNewFolder->geometry().bottom() + 1 + 4);
      QVERIFY(form.btnDeleteFolder->isEnabled());
      form.btnNewFolder->click();
      pressOk(form);
    });
    QCOMPARE(dialog.folderPath(), desktop_ + "/other/New Folder");
    QVERIFY(QFileInfo(desktop_ + "/other/New Folder").isDir());
  }

  void pathShortensFromTheLeft_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("expected");
    const QString path = "/home/user/photos/2024/june";
    // Ten pixels a character: a limit of ten times a text's length just admits that text.
    for (const QString& step :
         {path, QString("/.../user/photos/2024/june"), QString("/.../photos/2024/june"),
          QString("/.../2024/june"), QString("/.../june"), QString(".../june"), QString("june")}) {
      QTest::addRow("fits %s", qPrintable(step)) << path << int(10 * step.size()) << step;
    }
    QTest::newRow("the name is never cut") << path << 0 << "june";
    QTest::newRow("root is never shortened") << "/" << 0 << "/";
    QTest::newRow("top folder") << "/photos" << 30 << "photos";
    QTest::newRow("hidden folders are kept")
        << "/home/.cache/thumbnails" << 220 << "/.../.cache/thumbnails";
  }
  void pathShortensFromTheLeft() {
    QFETCH(QString, path);
    QFETCH(int, limit);
    QFETCH(QString, expected);
    const auto fixedWidth = [](const QString& text) { return 10 * int(text.size()); };
    QCOMPARE(ShortenPathForWidth(path, fixedWidth, limit), expected);
  }

  void leadingFolderIsCut_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << "/"
                          << "";
    QTest::newRow("absolute") << "/a/b/"
                              << "/.../b/";
    QTest::newRow("after an earlier cut") << "/.../b/c/"
                                          << "/.../c/";
    QTest::newRow("last folder") << "/.../b/"
                                 << "/.../";
    QTest::newRow("relative") << "a/b/"
                              << ".../b/";
    QTest::newRow("marker alone") << ".../"
                                  << "";
  }
  void leadingFolderIsCut() {
    QFETCH(QString, directory);
    QFETCH(QString, expected);
    QCOMPARE(CutLeadingFolder(directory), expected);
  }
};

QTEST_MAIN(ChooserTest)
#include "test_chooser.moc"
