#include "core/rules/source_checks.h"

#include "core/files/folder_nesting.h"

namespace velmora {

RunCheckResult checkSource(const CheckedSource& source, const NamingSettings& naming) {
  const bool tree = source.kind == SourceKind::Tree;
  const RunCheckResult result =
      checkRunPreconditions({tree ? 1 : source.listedFiles, naming, source.folder});
  if (result != RunCheckResult::Pass) return result;
  if (tree && naming.mode == NamingMode::SameNameInChosenFolder &&
      folderHoldsTree(chosenOutputFolder(naming.outputFolder), source.folder)) {
    return RunCheckResult::SameFolder;
  }
  return RunCheckResult::Pass;
}

}  // namespace velmora
