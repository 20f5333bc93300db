#pragma once
// File systems that show the kernel's state rather than files: walking them is slow, endless or
// has side effects, and they hold no pictures. The tree walk and the computer node's volumes
// both leave them out.

#include <string>

namespace velmora {

// By the type name the mount table gives ("proc", "sysfs", "cgroup2", ...).
bool isKernelFileSystem(const std::string& typeName);

// By the magic number statfs gives.
bool isKernelFileSystemMagic(unsigned long magic);

}  // namespace velmora
