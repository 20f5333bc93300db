// The folder tree over a desktop of its own (HOME and XDG_DESKTOP_DIR point at a temporary
// folder): start-up state, lazy expansion, level-by-level selection, right-click, rename.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "ui/RzShellCtrls.h"

using namespace velmora;

class ShellTreeTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString desktop_;

  static QStringList captions(const QTreeWidgetItem* parent) {
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i) names << parent->child(i)->text(0);
    return names;
  }
  static QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
      if (parent->child(i)->text(0) == name) return parent->child(i);
    }
    return nullptr;
  }

 private slots:
  void initTestCase() {
    QVERIFY(temp_.isValid());
    desktop_ = temp_.filePath("home/Desktop");
    for (const char* folder : {"home/Desktop/photos/2024/june", "home/Desktop/Zed",
                               "home/Desktop/.secret", "home/Desktop/archive"}) {
      QVERIFY(QDir().mkpath(temp_.filePath(folder)));
    }
    qputenv("HOME", QFile::encodeName(temp_.filePath("home")));
    qputenv("XDG_DESKTOP_DIR", QFile::encodeName(desktop_));
  }

  void startsWithTheDesktopRootSelectedAndExpanded() {
    TRzShellTree tree;
    QTreeWidgetItem* root = tree.rootNode();
    QVERIFY(root);
    QCOMPARE(tree.currentItem(), root);
    QVERIFY(root->isExpanded());
    QCOMPARE(tree.path(), desktop_);
    QCOMPARE(tree.indentation(), 19);
    QVERIFY(!tree.rootIsDecorated());
    QCOMPARE(captions(root),
             (QStringList{"home", "计算机", ".secret", "archive", "photos", "Zed"}));
    const QPalette colours = tree.palette();
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
             colours.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(childNamed(root, ".secret")->foreground(0).color(),
             colours.color(QPalette::Disabled, QPalette::Text));
  }

  void childrenAreReadOnFirstExpand() {
    TRzShellTree tree;
    QTreeWidgetItem* photos = childNamed(tree.rootNode(), "photos");
    QCOMPARE(photos->childCount(), 0);
    QCOMPARE(photos->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    tree.expandItem(photos);
    QCOMPARE(captions(photos), QStringList{"2024"});
    QTreeWidgetItem* zed = childNamed(tree.rootNode(), "Zed");
    QCOMPARE(zed->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
  }

  void filesOnlyDesktopStillOffersHomeAndComputer() {
    const QString filesOnly = temp_.filePath("files-only");
    QVERIFY(QDir().mkpath(filesOnly));
    QFile note(filesOnly + "/note.txt");
    QVERIFY(note.open(QIODevice::WriteOnly));
    qputenv("XDG_DESKTOP_DIR", QFile::encodeName(filesOnly));
    TRzShellTree tree;
    qputenv("XDG_DESKTOP_DIR", QFile::encodeName(desktop_));
    QTreeWidgetItem* root = tree.rootNode();
    QCOMPARE(captions(root), (QStringList{"home", "计算机"}));
    QVERIFY(tree.model()->hasChildren(tree.model()->index(0, 0)));
    QTreeWidgetItem* home = childNamed(root, "home");
    tree.expandItem(home);
    QTreeWidgetItem* desktop = childNamed(home, "Desktop");
    QVERIFY(desktop);
    tree.setCurrentItem(desktop);
    QCOMPARE(tree.path(), desktop_);
  }

  void asteriskExpandsTheSubtreeButNoLink() {
    QVERIFY(QFile::link(desktop_ + "/photos", desktop_ + "/photos/2024/june/back"));
    for (const auto modifier : {Qt::NoModifier, Qt::KeypadModifier}) {
      TRzShellTree tree;
      QTreeWidgetItem* photos = childNamed(tree.rootNode(), "photos");
      tree.setCurrentItem(photos);
      QTest::keyClick(&tree, Qt::Key_Asterisk, modifier);
      QTRY_VERIFY(!tree.expandingSubtree());
      QTreeWidgetItem* june = childNamed(childNamed(photos, "2024"), "june");
      QVERIFY(june && june->isExpanded());
      QTreeWidgetItem* back = childNamed(june, "back");
      QVERIFY(back);
      QVERIFY(!back->isExpanded());
      QCOMPARE(back->childCount(), 0);
    }
    QVERIFY(QFile::remove(desktop_ + "/photos/2024/june/back"));
  }

  void selectionReportsTheNodePath_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expectedPath");
    QTest::addColumn<QString>("expectedCaption");
    QTest::newRow("deep folder, level by level") << "%D%/photos/2024/june"
                                                 << "%D%/photos/2024/june"
                                                 << "june";
    QTest::newRow("file-system root") << "/"
                                      << "/"
                                      << "/";
    QTest::newRow("home folder") << "%H%"
                                 << "%H%"
                                 << "home";
  }
  void selectionReportsTheNodePath() {
    QFETCH(QString, target);
    QFETCH(QString, expectedPath);
    QFETCH(QString, expectedCaption);
    auto expand = [this](QString text) {
      return text.replace("%D%", desktop_).replace("%H%", temp_.filePath("home"));
    };
    TRzShellTree tree;
    QSignalSpy changes(&tree, &TRzShellTree::selectedNodeChanged);
    const auto folder = tree.shellNamespace().parse(QFile::encodeName(expand(target)));
    QVERIFY(folder);
    tree.selectFolder(*folder);
    QCOMPARE(tree.currentItem()->text(0), expectedCaption);
    QCOMPARE(tree.path(), expand(expectedPath));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.front().front().toString(), expand(expectedPath));
    QVERIFY(!tree.currentItem()->isExpanded());
    QVERIFY(tree.currentItem()->parent()->isExpanded());
  }

  void refreshShowsNewFoldersAndKeepsTheSelection() {
    TRzShellTree tree;
    tree.selectFolder(*tree.shellNamespace().parse(QFile::encodeName(desktop_ + "/photos/2024")));
    QVERIFY(QDir().mkpath(desktop_ + "/fresh"));
    QSignalSpy changes(&tree, &TRzShellTree::selectedNodeChanged);
    tree.refresh();
    QVERIFY(childNamed(tree.rootNode(), "fresh"));
    QCOMPARE(tree.path(), desktop_ + "/photos/2024");
    QCOMPARE(changes.count(), 1);
    QVERIFY(QDir(desktop_ + "/fresh").removeRecursively());
  }

  void computerNodeHasItsNameAsPath() {
    TRzShellTree tree;
    tree.setCurrentItem(childNamed(tree.rootNode(), "计算机"));
    QCOMPARE(tree.path(), QString("计算机"));
    QCOMPARE(tree.selectedFileSystemPath(), QString());
  }

  void unreachableLevelStopsAtTheDeepestNode() {
    TRzShellTree tree;
    const auto photos = tree.shellNamespace().parse(QFile::encodeName(desktop_ + "/photos"));
    QVERIFY(photos);
    tree.selectFolder(
        photos->child({ShellItemKind::Folder, "gone"}).child({ShellItemKind::Folder, "deeper"}));
    QCOMPARE(tree.path(), desktop_ + "/photos");
  }

  void rightClickKeepsTheSelection() {
    TRzShellTree tree;
    tree.resize(300, 400);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy changes(&tree, &TRzShellTree::selectedNodeChanged);
    QTreeWidgetItem* archive = childNamed(tree.rootNode(), "archive");
    // A context menu that opens is closed again at once.
    QTimer closer;
    connect(&closer, &QTimer::timeout, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    closer.start(10);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(archive).center());
    QCOMPARE(tree.currentItem(), tree.rootNode());
    QCOMPARE(changes.count(), 0);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(archive).center());
    QCOMPARE(tree.currentItem(), archive);
    QCOMPARE(changes.count(), 1);
  }

  void renameTrimsBlanksAndFollowsTheSelection() {
    QVERIFY(QDir().mkpath(desktop_ + "/old/child"));
    TRzShellTree tree;
    QStringList errors;
    tree.setRenameErrorHandler([&errors](const QString& text) { errors << text; });
    const auto child = tree.shellNamespace().parse(QFile::encodeName(desktop_ + "/old/child"));
    tree.selectFolder(*child);
    QSignalSpy changes(&tree, &TRzShellTree::selectedNodeChanged);
    QTreeWidgetItem* old = childNamed(tree.rootNode(), "old");

    QVERIFY(tree.canEdit(old));
    QVERIFY(tree.renameNode(old, "  new  "));
    QVERIFY(QFileInfo(desktop_ + "/new/child").isDir());
    QCOMPARE(old->text(0), QString("new"));
    QCOMPARE(captions(tree.rootNode()).indexOf("new"), 4);  // between archive and photos
    QCOMPARE(tree.path(), desktop_ + "/new/child");
    QCOMPARE(changes.count(), 1);
    QVERIFY(errors.isEmpty());

    QVERIFY(!tree.renameNode(old, "Zed"));
    QCOMPARE(old->text(0), QString("new"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.front().contains(QString::fromLocal8Bit(std::strerror(EEXIST))),
             qPrintable(errors.front()));
    QVERIFY(QDir(desktop_ + "/new").removeRecursively());
  }

  void editingInPlaceRenamesTheFolder() {
    QVERIFY(QDir().mkpath(desktop_ + "/draft"));
    TRzShellTree tree;
    tree.resize(300, 400);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QTreeWidgetItem* draft = childNamed(tree.rootNode(), "draft");
    tree.editItem(draft);
    auto* editor = tree.viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("draft"));
    editor->setText(" zz final ");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the view commits the edit through a queued call
    QCOMPARE(draft->text(0), QString("zz final"));
    QCOMPARE(captions(tree.rootNode()).back(), QString("zz final"));
    QVERIFY(QDir(desktop_ + "/zz final").removeRecursively());
  }

  void rootAndVirtualNodesCannotBeRenamed() {
    TRzShellTree tree;
    QTreeWidgetItem* root = tree.rootNode();
    QVERIFY(!tree.canEdit(root));
    QVERIFY(!root->flags().testFlag(Qt::ItemIsEditable));
    QVERIFY(!tree.renameNode(root, "other"));
    QVERIFY(!tree.canEdit(childNamed(root, "计算机")));
    QVERIFY(childNamed(root, "archive")->flags().testFlag(Qt::ItemIsEditable));
    tree.setReadOnly(true);
    QVERIFY(!tree.canEdit(childNamed(root, "archive")));
    QVERIFY(!childNamed(root, "archive")->flags().testFlag(Qt::ItemIsEditable));
    QCOMPARE(tree.rootNode()->text(0), QString("桌面"));
  }
};

QTEST_MAIN(ShellTreeTest)
#include "test_shelltree.moc"
