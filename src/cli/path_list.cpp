#include "cli/path_list.h"

namespace velmora::cli {

std::vector<std::string> readPathList(std::istream& list, char separator) {
  // A stream swallows what goes wrong inside getline (out of memory, a failed read) and only
  // stops, which would pass for the list's end: let it through.
  list.exceptions(std::ios::badbit);
  std::vector<std::string> paths;
  for (std::string path; std::getline(list, path, separator);) {
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace velmora::cli
