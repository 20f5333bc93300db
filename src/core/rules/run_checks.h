#pragma once
// The checks made before either command writes anything.

#include <cstddef>
#include <string>

#include "core/rules/output_naming.h"

namespace velmora {

enum class RunCheckResult {
  Pass,
  NoFiles,  // "没有任何jpg图片需要生成缩略图!"
  // "保存于同目录下，请输入前缀以区分原图!": a prefix that does not tell a thumbnail from its
  // source (empty, blank, or holding a separator that can lead back into the source folder)
  IndistinctPrefix,
  NoOutputFolder,  // "请选择保存目录!"
  SameFolder,      // "源目录和目标目录相同!"
};

struct RunCheckInput {
  std::size_t listedFiles = 0;
  NamingSettings naming;
  std::string sourceFolder;  // the file list's directory
};

// The first failing check, in order, or Pass. The same-folder test applies whichever naming
// rule is chosen, and finds the source folder under any spelling the file system resolves
// to the same directory.
RunCheckResult checkRunPreconditions(const RunCheckInput& input);

// The notice text of a failed check (empty for Pass).
std::string runCheckMessage(RunCheckResult result);

// "未选择jpg文件!": the single-image command with no file selected.
inline constexpr const char* kNoFileSelected = "未选择jpg文件!";

}  // namespace velmora
