#include "core/rules/run_checks.h"

#include <optional>

#include "core/files/directory_handle.h"
#include "core/files/path_text.h"

namespace velmora {

namespace {

// True when both texts name one directory, whatever their spelling (a trailing separator, "..",
// a symbolic link, "new/.." before "new" exists): a thumbnail written there would replace its
// source. Nothing is created to find out.
bool sameDirectoryOnDisk(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = folderIdentityOf(a);
  return first && first == folderIdentityOf(b);
}

// A prefix holding a separator can lead back into the source folder ("./", "/"), so the
// thumbnail would replace its source; such a prefix does not tell the two apart.
bool prefixDistinguishesName(const std::string& trimmedPrefix) {
  return !trimmedPrefix.empty() && trimmedPrefix.find(kPathSeparator) == std::string::npos;
}

}  // namespace

RunCheckResult checkRunPreconditions(const RunCheckInput& input) {
  if (input.listedFiles == 0) return RunCheckResult::NoFiles;
  if (input.naming.mode == NamingMode::PrefixInSourceFolder &&
      !prefixDistinguishesName(trimBlanks(input.naming.prefix))) {
    return RunCheckResult::IndistinctPrefix;
  }
  const std::string outputFolder = chosenOutputFolder(input.naming.outputFolder);
  if (input.naming.mode == NamingMode::SameNameInChosenFolder && outputFolder.empty()) {
    return RunCheckResult::NoOutputFolder;
  }
  if (outputFolder == input.sourceFolder || sameDirectoryOnDisk(outputFolder, input.sourceFolder)) {
    return RunCheckResult::SameFolder;
  }
  return RunCheckResult::Pass;
}

std::string runCheckMessage(RunCheckResult result) {
  switch (result) {
    case RunCheckResult::Pass:
      return {};
    case RunCheckResult::NoFiles:
      return "没有任何jpg图片需要生成缩略图!";
    case RunCheckResult::IndistinctPrefix:
      return "保存于同目录下，请输入前缀以区分原图!";
    case RunCheckResult::NoOutputFolder:
      return "请选择保存目录!";
    case RunCheckResult::SameFolder:
      return "源目录和目标目录相同!";
  }
  return {};
}

}  // namespace velmora
