#include "core/files/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

namespace velmora {

namespace {

unsigned char foldCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(const std::string& name, const std::string& lowerSuffix) {
  if (name.size() < lowerSuffix.size()) return false;
  const std::size_t start = name.size() - lowerSuffix.size();
  for (std::size_t i = 0; i < lowerSuffix.size(); ++i) {
    if (foldCase(static_cast<unsigned char>(name[start + i])) !=
        static_cast<unsigned char>(lowerSuffix[i])) {
      return false;
    }
  }
  return true;
}

int compareFolded(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = foldCase(static_cast<unsigned char>(a[i]));
    const unsigned char y = foldCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool isRegularFileIn(const DirectoryHandle& folder, const dirent& entry) {
  if (entry.d_type == DT_REG) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat status {};
  return fstatat(folder.fd(), entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

EntryKind entryKindIn(const DirectoryHandle& folder, const dirent& entry) {
  unsigned char type = entry.d_type;
  if (type == DT_UNKNOWN) {
    struct stat status {};
    if (fstatat(folder.fd(), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return EntryKind::Other;
    }
    type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR : DT_LNK;
  }
  return type == DT_REG ? EntryKind::File : type == DT_DIR ? EntryKind::Folder : EntryKind::Other;
}

bool matchesJpegPattern(const std::string& name) {
  return endsWithIgnoringCase(name, ".jpg") || endsWithIgnoringCase(name, ".jpeg");
}

bool listsBefore(const std::string& a, const std::string& b) {
  const int folded = compareFolded(a, b);
  return folded != 0 ? folded < 0 : a < b;
}

void sortNamesForList(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), listsBefore);
}

std::optional<std::vector<std::string>> listJpegFiles(const std::string& folder) {
  const DirectoryHandle handle = openFolder(folder);
  if (!handle.isOpen()) return std::nullopt;
  return listJpegFiles(handle);
}

std::optional<std::vector<std::string>> listJpegFiles(const DirectoryHandle& folder) {
  std::vector<std::string> names;
  const bool read = forEachEntry(folder, [&](const dirent& entry) {
    const std::string name = entry.d_name;
    if (name.empty() || name.front() == '.' || !matchesJpegPattern(name)) return;
    if (isRegularFileIn(folder, entry)) names.push_back(name);
  });
  if (!read) return std::nullopt;
  sortNamesForList(names);
  return names;
}

}  // namespace velmora
