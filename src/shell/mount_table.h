#pragma once
// The volumes listed below the computer node, read from the kernel's mount table. Mount points
// are the file system's bytes.

#include <QByteArray>
#include <QByteArrayList>

namespace velmora {

// The mount points worth showing, in table order without repeats, "/" always first.
// A mount is left out when its file-system type is a kernel pseudo file system (proc, sysfs,
// tmpfs, devtmpfs, devpts, cgroup*, overlay, ...) or when it lies in the kernel's and the
// system's private trees (/proc, /sys, /dev, /run except /run/media). Whether the mount point
// is a directory is checked by the caller: bind-mounted files must not appear as folders.
QByteArrayList listedMountPoints(const QByteArray& mountTable);

// The mount points listedMountPoints leaves out, in table order.
QByteArrayList leftOutMountPoints(const QByteArray& mountTable);

// The kernel's mount table of this process (/proc/self/mounts); empty when it cannot be read.
QByteArray mountTable();

// listedMountPoints over mountTable(), keeping only directories.
QByteArrayList mountedVolumes();

}  // namespace velmora
