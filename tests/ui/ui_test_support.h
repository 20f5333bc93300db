#pragma once
// What the window tests share: a desktop of their own, a recorder in place of the modal boxes,
// and real JPEG files to browse and thumbnail.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "jpeg_fixtures.h"
#include "ui/FileListBox.h"
#include "ui/Notices.h"
#include "ui/RzShellCtrls.h"
#include "ui/UnitFormMain.h"

namespace velmora::testing {

// Every box the program would have shown, in order: "notice: <text>" or "error: <text>"; the
// file each error box names for screen readers goes to errorFiles.
class RecordingPresenter : public NoticePresenter {
 public:
  RecordingPresenter() { setNoticePresenter(this); }
  ~RecordingPresenter() override { setNoticePresenter(nullptr); }
  void notice(const QString& text) override { shown << QStringLiteral("notice: ") + text; }
  void errorBox(const QString& text, const QString& file) override {
    shown << QStringLiteral("error: ") + text;
    errorFiles << file;
  }
  QStringList take() {
    QStringList taken = shown;
    shown.clear();
    return taken;
  }

  QStringList shown;
  QStringList errorFiles;
};

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
  file.write(bytes);
}

inline void writeJpeg(const QString& path, std::int32_t width, std::int32_t height) {
  writeJpeg(QFile::encodeName(path).toStdString(), width, height);
}

// A home and a desktop in a temporary folder, so that no test reads the real home. Made before
// the application, since the folder tree reads them when it is built.
class TestDesktop {
 public:
  TestDesktop() {
    home_ = root_.path() + QStringLiteral("/home");
    desktop_ = home_ + QStringLiteral("/Desktop");
    QDir().mkpath(desktop_);
    qputenv("HOME", QFile::encodeName(home_));
    qputenv("XDG_DESKTOP_DIR", QFile::encodeName(desktop_));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_ + QStringLiteral("/.config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const QString& home() const { return home_; }
  const QString& desktop() const { return desktop_; }

 private:
  QTemporaryDir root_;
  QString home_;
  QString desktop_;
};

inline TestDesktop* testDesktop = nullptr;

// Selects a folder in the main window's tree as a user would; the list then shows that folder.
inline void selectFolder(TFormMain& form, const QString& path) {
  const auto folder = form.ShellTreeView1->shellNamespace().parse(QFile::encodeName(path));
  QVERIFY2(folder.has_value(), qPrintable(path));
  form.ShellTreeView1->selectFolder(*folder);
  QCOMPARE(form.ShellTreeView1->path(), path);
  QCOMPARE(form.FileListBox1->Directory(), path);
}

// Selects one listed file by its name.
inline void selectFile(TFormMain& form, const QString& name) {
  const auto found = form.FileListBox1->findItems(name, Qt::MatchExactly);
  QCOMPARE(found.size(), 1);
  form.FileListBox1->setCurrentItem(found.front());
}

}  // namespace velmora::testing

#define VELMORA_WINDOW_TEST_MAIN(TestClass)   \
  int main(int argc, char* argv[]) {          \
    velmora::testing::TestDesktop desktop;    \
    velmora::testing::testDesktop = &desktop; \
    QApplication application(argc, argv);     \
    TestClass test;                           \
    return QTest::qExec(&test, argc, argv);   \
  }
