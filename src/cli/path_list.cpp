#include "cli/path_list.h"

namespace velmora::cli {

std::vector<std::string> readPathList(std::istream& list, char separator) {
  std::vector<std::string> paths;
  for (std::string path; std::getline(list, path, separator);) {
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace velmora::cli
