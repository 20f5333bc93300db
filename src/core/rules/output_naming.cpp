#include "core/rules/output_naming.h"

#include <sys/stat.h>

#include "core/files/path_text.h"

namespace velmora {

namespace {

// The selected file's name: its path without the source folder and the separator after it.
// A path that does not start with the folder (the list always gives one that does) keeps the
// part after its last separator, so no folder text can leak into the name.
std::string selectedName(const std::string& selectedPath, const std::string& sourceFolder) {
  const std::string folderPart =
      endsWithSeparator(sourceFolder) ? sourceFolder : sourceFolder + kPathSeparator;
  if (selectedPath.compare(0, folderPart.size(), folderPart) == 0) {
    return selectedPath.substr(folderPart.size());
  }
  const std::string::size_type lastSeparator = selectedPath.rfind(kPathSeparator);
  if (lastSeparator == std::string::npos) return selectedPath;
  return selectedPath.substr(lastSeparator + 1);
}

}  // namespace

std::string chosenOutputFolder(const std::string& shown) {
  struct stat info {};
  if (!shown.empty() && ::stat(shown.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return shown;
  return trimBlanks(shown);
}

std::string singleImageDestination(const std::string& selectedPath, const std::string& treePath,
                                   const std::string& sourceFolder, const NamingSettings& naming) {
  const std::string name = selectedName(selectedPath, sourceFolder);
  if (naming.mode == NamingMode::SameNameInChosenFolder) {
    return joinPath(chosenOutputFolder(naming.outputFolder), name);
  }
  // The separator test looks at the source folder, not at the tree path it is appended to.
  std::string destination = treePath;
  if (!endsWithSeparator(sourceFolder)) destination += kPathSeparator;
  return destination + trimBlanks(naming.prefix) + name;
}

std::string batchDirectory(const std::string& treePath) {
  if (endsWithSeparator(treePath)) return treePath.substr(0, treePath.size() - 1);
  return treePath;
}

BatchSpelling batchSpelling(const std::string& treePath, const NamingSettings& naming) {
  BatchSpelling spelling;
  spelling.sourceFolder = batchDirectory(treePath);
  // A chosen folder ending with a separator gives a doubled one, which the file system reads
  // as one.
  spelling.destinationStem =
      naming.mode == NamingMode::SameNameInChosenFolder
          ? chosenOutputFolder(naming.outputFolder) + kPathSeparator
          : spelling.sourceFolder + kPathSeparator + trimBlanks(naming.prefix);
  return spelling;
}

ThumbnailRequest batchRequest(const BatchSpelling& spelling, const std::string& name,
                              const SizingRequest& sizing) {
  return {spelling.sourceFolder + kPathSeparator + name, spelling.destinationStem + name, sizing};
}

std::vector<ThumbnailRequest> batchRequests(const std::string& treePath,
                                            const std::vector<std::string>& listedNames,
                                            const NamingSettings& naming,
                                            const SizingRequest& sizing) {
  const BatchSpelling spelling = batchSpelling(treePath, naming);
  std::vector<ThumbnailRequest> requests;
  requests.reserve(listedNames.size());
  for (const std::string& name : listedNames) {
    requests.push_back(batchRequest(spelling, name, sizing));
  }
  return requests;
}

}  // namespace velmora
