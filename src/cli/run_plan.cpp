#include "cli/run_plan.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "cli/path_list.h"
#include "core/errors.h"
#include "core/files/folder_listing.h"
#include "core/files/path_text.h"

namespace velmora::cli {

namespace {

PlannedRun planFolderRun(const std::string& path, bool recursive) {
  PlannedRun run;
  run.sourceFolder = folderForm(path);
  if (recursive) {
    run.kind = SourceKind::Tree;
    return run;
  }
  run.kind = SourceKind::Folder;
  std::optional<std::vector<std::string>> names = listJpegFiles(run.sourceFolder);
  if (!names) throw UsageError("cannot read the folder \"" + path + "\"", false);
  run.listedNames = std::move(*names);
  return run;
}

PlannedRun planPathRun(const std::string& path, bool recursive) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    throw UsageError("\"" + path + "\": " + systemErrorText(errno), false);
  }
  if (S_ISDIR(status.st_mode)) return planFolderRun(path, recursive);
  if (S_ISREG(status.st_mode)) return planFileRun(path);
  throw UsageError("\"" + path + "\" is neither a file nor a folder", false);
}

std::vector<std::string> listedPaths(const CommandLine& command, std::istream& standardInput) {
  const char separator = command.nullSeparated ? '\0' : '\n';
  const auto unreadable = [&] {
    return UsageError(
        "cannot read the list \"" + *command.filesFrom + "\": " + systemErrorText(errno), false);
  };
  try {
    if (*command.filesFrom == "-") return readPathList(standardInput, separator);
    std::ifstream list(*command.filesFrom, std::ios::binary);
    if (!list) throw unreadable();
    return readPathList(list, separator);
  } catch (const std::ios_base::failure&) {
    throw unreadable();
  }
}

RunCheckResult checkOutput(const RunPlan& plan, const NamingSettings& naming) {
  for (const PlannedRun& run : plan.runs) {
    const RunCheckResult check =
        checkSource({run.kind, run.sourceFolder, run.listedNames.size()}, naming);
    if (check != RunCheckResult::Pass) return check;
  }
  for (const std::string& path : plan.listedFiles) {
    const RunCheckResult check =
        checkSource({SourceKind::File, planFileRun(path).sourceFolder, 1}, naming);
    if (check != RunCheckResult::Pass) return check;
  }
  return RunCheckResult::Pass;
}

// Each output's naming is checked against every source, as a run of its own would be.
RunCheckResult checkPlan(const RunPlan& plan, const std::vector<OutputRule>& outputs) {
  if (plan.runs.empty() && plan.listedFiles.empty()) return RunCheckResult::NoFiles;
  for (const OutputRule& output : outputs) {
    const RunCheckResult check = checkOutput(plan, output.naming);
    if (check != RunCheckResult::Pass) return check;
  }
  return RunCheckResult::Pass;
}

}  // namespace

PlannedRun planFileRun(const std::string& path) {
  PlannedRun run;
  const std::string::size_type lastSeparator = path.rfind(kPathSeparator);
  if (lastSeparator == std::string::npos) {
    run.sourceFolder = ".";
    run.listedNames = {path};
  } else {
    run.sourceFolder = folderForm(path.substr(0, lastSeparator + 1));
    run.listedNames = {path.substr(lastSeparator + 1)};
  }
  run.selectedPath = joinPath(run.sourceFolder, run.listedNames.front());
  return run;
}

RunPlan planCommand(const CommandLine& command, std::istream& standardInput) {
  RunPlan plan;
  for (const std::string& path : command.paths) {
    plan.runs.push_back(planPathRun(path, command.recursive));
    // A file's thumbnail goes into the output folder itself, where no walk would find it again.
    if (command.prune && plan.runs.back().kind == SourceKind::File) {
      throw UsageError("--prune takes folders only; \"" + path + "\" is a file", true);
    }
  }
  if (command.filesFrom) plan.listedFiles = listedPaths(command, standardInput);
  plan.check = checkPlan(plan, command.outputs);
  return plan;
}

}  // namespace velmora::cli
