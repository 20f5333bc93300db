#include "core/files/kernel_file_systems.h"

#include <algorithm>
#include <iterator>

namespace velmora {

namespace {

struct KernelFileSystem {
  const char* name;
  unsigned long magic;
};

constexpr KernelFileSystem kKernelFileSystems[] = {
    {"proc", 0x9fa0},          {"sysfs", 0x62656572},       {"devpts", 0x1cd1},
    {"debugfs", 0x64626720},   {"tracefs", 0x74726163},     {"cgroup", 0x27e0eb},
    {"cgroup2", 0x63677270},   {"securityfs", 0x73636673},  {"pstore", 0x6165676c},
    {"bpf", 0xcafe4a11},       {"configfs", 0x62656570},    {"fusectl", 0x65735543},
    {"selinuxfs", 0xf97cff8c}, {"binfmt_misc", 0x42494e4d}, {"mqueue", 0x19800202},
    {"nsfs", 0x6e736673},
};

}  // namespace

bool isKernelFileSystem(const std::string& typeName) {
  return std::any_of(std::begin(kKernelFileSystems), std::end(kKernelFileSystems),
                     [&](const KernelFileSystem& kind) { return typeName == kind.name; });
}

bool isKernelFileSystemMagic(unsigned long magic) {
  return std::any_of(std::begin(kKernelFileSystems), std::end(kKernelFileSystems),
                     [&](const KernelFileSystem& kind) { return magic == kind.magic; });
}

}  // namespace velmora
