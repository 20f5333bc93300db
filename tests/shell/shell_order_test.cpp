// Sibling order and the mount table filter.

#include <QtTest>

#include "shell/mount_table.h"
#include "shell/natural_compare.h"

using namespace velmora;

class ShellOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void namesCompareLikeAFileManager_data() {
    QTest::addColumn<QString>("smaller");
    QTest::addColumn<QString>("larger");
    QTest::newRow("letter case ignored") << "alpha"
                                         << "Beta";
    QTest::newRow("digits by value") << "img2"
                                     << "img10";
    QTest::newRow("leading zeros by value") << "img007"
                                            << "img10";
    QTest::newRow("prefix first") << "img"
                                  << "img1";
    QTest::newRow("equal but for case") << "ABC"
                                        << "abc";
    QTest::newRow("equal value, tie broken by the text") << "a01"
                                                         << "a1";
    QTest::newRow("dot-name before letters") << ".cache"
                                             << "apps";
    QTest::newRow("Chinese after Latin") << "zeta"
                                         << "照片";
  }
  void namesCompareLikeAFileManager() {
    QFETCH(QString, smaller);
    QFETCH(QString, larger);
    QVERIFY(naturalCompare(smaller, larger) < 0);
    QVERIFY(naturalCompare(larger, smaller) > 0);
    QCOMPARE(naturalCompare(smaller, smaller), 0);
  }

  void mountTableKeepsRealVolumes() {
    const QByteArray table =
        "overlay / overlay rw,relatime 0 0\n"
        "proc /proc proc rw 0 0\n"
        "tmpfs /dev tmpfs rw 0 0\n"
        "sysfs /sys sysfs ro 0 0\n"
        "cgroup /sys/fs/cgroup cgroup2 ro 0 0\n"
        "/dev/sda1 /boot ext4 rw 0 0\n"
        "/dev/sdb1 /mnt/My\\040Photos vfat rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "/dev/sdc1 /run/media/user/STICK exfat rw 0 0\n"
        "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
        "/dev/sda1 /boot ext4 rw 0 0\n"
        "server:/export /home/nfs nfs4 rw 0 0\n"
        "broken-line\n";
    QCOMPARE(listedMountPoints(table), (QByteArrayList{"/", "/boot", "/mnt/My Photos",
                                                       "/run/media/user/STICK", "/home/nfs"}));
    QCOMPARE(listedMountPoints({}), QByteArrayList{"/"});
  }
};

QTEST_GUILESS_MAIN(ShellOrderTest)
#include "shell_order_test.moc"
