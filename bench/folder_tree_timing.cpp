// Times the folder tree: expanding one folder of many sub-folders, and the whole-subtree walk
// ("*") from the desktop root, with the longest pause of the event loop and the peak memory.
//
//   QT_QPA_PLATFORM=offscreen folder_tree_timing [sub-folders, default 3000]
//
// It makes a desktop of its own under a temporary folder; the walk goes on through the
// computer node into the machine's own folders, as the real key does.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "ui/RzShellCtrls.h"

namespace {

long peakResidentMiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong() / 1024;
  }
  return -1;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& name) {
  for (int i = 0; i < parent->childCount(); ++i) {
    if (parent->child(i)->text(0) == name) return parent->child(i);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int folders = argc > 1 ? std::atoi(argv[1]) : 3000;
  QTemporaryDir home;
  const QString desktop = home.path() + QStringLiteral("/Desktop");
  for (int i = 0; i < folders; ++i) {
    QDir().mkpath(
        QStringLiteral("%1/many/folder %2%3").arg(desktop).arg(i).arg(i % 3 ? "" : "/sub"));
  }
  qputenv("HOME", QFile::encodeName(home.path()));
  qputenv("XDG_DESKTOP_DIR", QFile::encodeName(desktop));
  QApplication application(argc, argv);

  velmora::TRzShellTree tree;
  tree.resize(300, 600);
  tree.show();
  QApplication::processEvents();
  QTreeWidgetItem* many = childNamed(tree.rootNode(), QStringLiteral("many"));
  QElapsedTimer clock;
  clock.start();
  tree.expandItem(many);
  QApplication::processEvents();
  std::printf("expand %d sub-folders: %lld ms\n", many->childCount(), clock.elapsed());

  tree.collapseItem(many);
  qint64 lastBeat = 0;
  qint64 longestPause = 0;
  QTimer beat;
  beat.setInterval(5);
  QObject::connect(&beat, &QTimer::timeout, [&] {
    longestPause = std::max(longestPause, clock.elapsed() - lastBeat);
    lastBeat = clock.elapsed();
    if (!tree.expandingSubtree()) application.quit();
  });
  clock.restart();
  beat.start();
  tree.expandSubtree(tree.rootNode());
  application.exec();
  int rows = 0;
  for (QTreeWidgetItemIterator it(&tree); *it; ++it) ++rows;
  std::printf(
      "whole-subtree walk: %lld ms, %d rows, longest event-loop pause %lld ms, peak %ld MiB\n",
      clock.elapsed(), rows, longestPause, peakResidentMiB());
  return 0;
}
