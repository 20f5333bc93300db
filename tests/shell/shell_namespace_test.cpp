// The folder namespace over a temporary home: the tests never read the real home folder.

#include "shell/shell_namespace.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "shell/subtree_walk.h"

using namespace velmora;

namespace {

TRzShellLocator folders(TRzShellLocator base, const QByteArrayList& names) {
  for (const QByteArray& name : names) base = base.child({ShellItemKind::Folder, name});
  return base;
}

bool sysfsMounted() {
  struct statfs info {};
  return ::statfs("/sys", &info) == 0 && info.f_type == SYSFS_MAGIC;
}

const TRzShellLocator kHome({{ShellItemKind::Home, {}}});
const TRzShellLocator kComputer({{ShellItemKind::Computer, {}}});

}  // namespace

Q_DECLARE_METATYPE(velmora::TRzShellLocator)

class ShellNamespaceTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString home_;
  QString desktop_;
  QString volume_;

  ShellNamespace shellNamespace() const {
    const QByteArray volume = QFile::encodeName(volume_);
    return ShellNamespace(QFile::encodeName(desktop_), QFile::encodeName(home_), [volume] {
      return QByteArrayList{"/", volume};
    });
  }
  QStringList childNames(const TRzShellLocator& folder) const {
    QStringList names;
    const ShellNamespace shell = shellNamespace();
    const auto children = shell.children(folder);
    for (const TRzShellLocator& child : children.value()) names << shell.displayName(child);
    return names;
  }

 private slots:
  void initTestCase() {
    QVERIFY(temp_.isValid());
    home_ = temp_.filePath("home");
    desktop_ = home_ + "/Desktop";
    volume_ = temp_.filePath("volume");
    for (const char* folder :
         {"home/Desktop/img10", "home/Desktop/img2/inner", "home/Desktop/.hidden",
          "home/Desktop/Beta", "home/Desktop/alpha", "home/docs", "volume/sub"}) {
      QVERIFY(QDir().mkpath(temp_.filePath(folder)));
    }
    QFile file(desktop_ + "/note.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(desktop_ + "/alpha", desktop_ + "/linked"));
    qputenv("HOME", QFile::encodeName(home_));
    qunsetenv("XDG_CONFIG_HOME");
  }

  void desktopDirectoryFollowsTheEnvironment_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("userDirsLine");
    QTest::addColumn<QString>("expected");
    QTest::newRow("variable names an existing folder") << "$HOME/Desktop"
                                                       << ""
                                                       << "home/Desktop";
    QTest::newRow("variable names an absolute folder") << "%TEMP%/volume"
                                                       << ""
                                                       << "volume";
    QTest::newRow("variable names a missing folder") << "$HOME/none"
                                                     << ""
                                                     << "home";
    QTest::newRow("user-dirs file") << ""
                                    << "XDG_DESKTOP_DIR=\"$HOME/docs\""
                                    << "home/docs";
    QTest::newRow("user-dirs file, missing folder") << ""
                                                    << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""
                                                    << "home";
    QTest::newRow("nothing configured") << ""
                                        << ""
                                        << "home/Desktop";
  }
  void desktopDirectoryFollowsTheEnvironment() {
    QFETCH(QString, variable);
    QFETCH(QString, userDirsLine);
    QFETCH(QString, expected);
    const QString config = home_ + "/.config";
    QDir(config).removeRecursively();
    if (!userDirsLine.isEmpty()) {
      QVERIFY(QDir().mkpath(config));
      QFile file(config + "/user-dirs.dirs");
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("# written by a test\n" + userDirsLine.toUtf8() + "\n");
    }
    variable.replace("%TEMP%", temp_.path());
    if (variable.isEmpty()) {
      qunsetenv("XDG_DESKTOP_DIR");
    } else {
      qputenv("XDG_DESKTOP_DIR", variable.toUtf8());
    }
    QCOMPARE(desktopDirectory(), QFile::encodeName(temp_.filePath(expected)));
    qunsetenv("XDG_DESKTOP_DIR");
    QDir(config).removeRecursively();
  }

  void rootListsHomeComputerThenFoldersInShellOrder() {
    QCOMPARE(childNames({}), (QStringList{"home", "计算机", ".hidden", "alpha", "Beta", "img2",
                                          "img10", "linked"}));
    QCOMPARE(childNames(kComputer), (QStringList{"/", volume_}));
  }

  void desktopAtHomeHasNoSeparateHomeNode() {
    const QByteArray home = QFile::encodeName(home_);
    const ShellNamespace shell(home, home, [] { return QByteArrayList{"/"}; });
    const auto children = shell.children({});
    QVERIFY(children);
    QCOMPARE(children->front(), kComputer);
    QCOMPARE(shell.path({}), home);
  }

  void pathsAndLocatorsConvertBothWays_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<TRzShellLocator>("locator");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("desktop directory is the root") << "%D%" << TRzShellLocator() << "%D%";
    QTest::newRow("desktop folder")
        << "%D%/img2/inner" << folders({}, {"img2", "inner"}) << "%D%/img2/inner";
    QTest::newRow("trailing and doubled separators")
        << "%D%//img2/" << folders({}, {"img2"}) << "%D%/img2";
    QTest::newRow("home folder") << "%H%" << kHome << "%H%";
    QTest::newRow("below home") << "%H%/docs" << folders(kHome, {"docs"}) << "%H%/docs";
    QTest::newRow("file-system root keeps its separator")
        << "/" << kComputer.child({ShellItemKind::Volume, "/"}) << "/";
    QTest::newRow("longest mount point wins")
        << "%V%/sub" << folders(kComputer.child({ShellItemKind::Volume, "%V%"}), {"sub"})
        << "%V%/sub";
  }
  void pathsAndLocatorsConvertBothWays() {
    QFETCH(QString, path);
    QFETCH(TRzShellLocator, locator);
    QFETCH(QString, normalised);
    auto expand = [this](QString text) {
      return QFile::encodeName(
          text.replace("%D%", desktop_).replace("%H%", home_).replace("%V%", volume_));
    };
    std::vector<ShellItemId> levels = locator.levels();
    for (ShellItemId& level : levels) level.name = expand(QFile::decodeName(level.name));
    const ShellNamespace shell = shellNamespace();
    const auto parsed = shell.parse(expand(path));
    QVERIFY(parsed);
    QCOMPARE(*parsed, TRzShellLocator(levels));
    QCOMPARE(shell.path(*parsed), expand(normalised));
    QCOMPARE(shell.nodePath(*parsed), expand(normalised));
  }

  void unusablePathsHaveNoLocator_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("relative") << "home/docs";
    QTest::newRow("missing") << "%D%/gone";
    QTest::newRow("a file") << "%D%/note.txt";
  }
  void unusablePathsHaveNoLocator() {
    QFETCH(QString, path);
    QVERIFY(!shellNamespace().parse(QFile::encodeName(path.replace("%D%", desktop_))));
  }

  void computerHasNoPathButItsName() {
    const ShellNamespace shell = shellNamespace();
    QCOMPARE(shell.path(kComputer), QByteArray());
    QCOMPARE(shell.nodePath(kComputer), QByteArray("计算机"));
    QCOMPARE(shell.nodePath({}), QFile::encodeName(desktop_));
  }

  void attributesDescribeTheItem_data() {
    QTest::addColumn<TRzShellLocator>("item");
    QTest::addColumn<int>("expected");
    const int fsFolder =
        int(ShellAttribute::FileSystem | ShellAttribute::FsAncestor | ShellAttribute::Folder);
    const int renamable = fsFolder | int(ShellAttribute::CanRename);
    const int subfolders = int(ShellAttribute::HasSubfolders);
    QTest::newRow("root") << TRzShellLocator() << (fsFolder | subfolders);
    QTest::newRow("home") << kHome << (fsFolder | subfolders);
    QTest::newRow("computer") << kComputer
                              << int(ShellAttribute::FsAncestor | ShellAttribute::Folder) +
                                     subfolders;
    QTest::newRow("folder with a sub-folder") << folders({}, {"img2"}) << (renamable | subfolders);
    QTest::newRow("empty folder") << folders({}, {"img10"}) << renamable;
    QTest::newRow("hidden folder")
        << folders({}, {".hidden"}) << (renamable | int(ShellAttribute::Hidden));
    QTest::newRow("link to a folder")
        << folders({}, {"linked"}) << (renamable | int(ShellAttribute::Link));
  }
  void attributesDescribeTheItem() {
    QFETCH(TRzShellLocator, item);
    QFETCH(int, expected);
    QCOMPARE(int(shellNamespace().attributes(item)), expected);
  }

  void renameTrimsAndNeverReplaces() {
    const ShellNamespace shell = shellNamespace();
    QVERIFY(QDir().mkpath(desktop_ + "/old"));
    QVERIFY(QDir().mkpath(desktop_ + "/taken"));

    RenameResult result = shell.rename(folders({}, {"old"}), "  \tnew  ");
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.renamed, folders({}, {"new"}));
    QVERIFY(QFileInfo(desktop_ + "/new").isDir());
    QVERIFY(!QFileInfo::exists(desktop_ + "/old"));

    result = shell.rename(folders({}, {"new"}), "taken");
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QString::fromLocal8Bit(std::strerror(EEXIST)));
    QVERIFY(QFileInfo(desktop_ + "/new").isDir());

    for (const char* bad : {"a/b", "..", "   "}) {
      result = shell.rename(folders({}, {"new"}), bad);
      QVERIFY2(!result.ok, bad);
      QCOMPARE(result.error, QString::fromLocal8Bit(std::strerror(EINVAL)));
    }
    QVERIFY(!shell.rename(kHome, "other").ok);
    QVERIFY(shell.rename(folders({}, {"new"}), " new ").ok);
    QVERIFY(QDir(desktop_ + "/new").removeRecursively());
    QVERIFY(QDir(desktop_ + "/taken").removeRecursively());
  }

  void folderNamesThatAreNotUtf8KeepTheirBytes() {
    const ShellNamespace shell = shellNamespace();
    const QByteArray latin1 = QFile::encodeName(desktop_) + "/caf\xe9";
    QVERIFY(::mkdir(latin1.constData(), 0755) == 0);
    const TRzShellLocator cafe = folders({}, {"caf\xe9"});
    QVERIFY(shell.children({})->end() !=
            std::find(shell.children({})->begin(), shell.children({})->end(), cafe));
    QCOMPARE(shell.path(cafe), latin1);
    QCOMPARE(shell.parse(latin1), std::optional<TRzShellLocator>(cafe));
    QVERIFY(shell.displayName(cafe).startsWith("caf"));
    QCOMPARE(shell.rename(cafe, shell.displayName(cafe)).renamed, cafe);
    QVERIFY(shell.exists(cafe));
    QVERIFY(shell.rename(cafe, "café").ok);
    QVERIFY(QDir(desktop_ + "/café").removeRecursively());
  }

  void subtreeWalkEndsOnLinksSystemFoldersAndRepeats() {
    const ShellNamespace shell = shellNamespace();
    QVERIFY(QFile::link(desktop_ + "/img2", desktop_ + "/img2/inner/loop"));
    SubtreeWalk walk(shell);
    QVERIFY(walk.admits({}));
    QVERIFY(walk.admits(folders({}, {"img2"})));
    QVERIFY(!walk.admits(folders({}, {"img2"})));
    QVERIFY(!walk.admits(folders({}, {"img2", "inner", "loop"})));
    QVERIFY(!walk.admits(folders({}, {"linked"})));
    // The desktop again, reached through the home folder.
    QVERIFY(!walk.admits(folders(kHome, {"Desktop"})));
    const TRzShellLocator fileSystemRoot = kComputer.child({ShellItemKind::Volume, "/"});
    QVERIFY(walk.admits(kComputer));
    QVERIFY(walk.admits(fileSystemRoot));
    QVERIFY(!walk.admits(folders(fileSystemRoot, {"proc"})));
    QVERIFY(QFile::remove(desktop_ + "/img2/inner/loop"));
    // A chroot or a minimal container may have nothing mounted there: a plain folder then.
    if (!sysfsMounted()) QSKIP("no sysfs mounted on /sys here");
    QVERIFY(!walk.admits(folders(fileSystemRoot, {"sys"})));
  }

  void existenceFollowsTheDisk() {
    const ShellNamespace shell = shellNamespace();
    QVERIFY(shell.exists(folders({}, {"img2", "inner"})));
    QVERIFY(!shell.exists(folders({}, {"img2", "gone"})));
    QVERIFY(shell.exists(kComputer));
    QVERIFY(!shell.exists(kComputer.child({ShellItemKind::Volume, "/not-mounted"})));
  }
};

QTEST_GUILESS_MAIN(ShellNamespaceTest)
#include "shell_namespace_test.moc"
