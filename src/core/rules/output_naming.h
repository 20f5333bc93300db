#pragma once
// The two naming rules: where each thumbnail goes.

#include <string>
#include <vector>

#include "core/rules/thumbnail_request.h"

namespace velmora {

enum class NamingMode : int {
  PrefixInSourceFolder = 1,    // same folder, prefix + the source's whole name
  SameNameInChosenFolder = 2,  // the output folder, the source's own name
};

struct NamingSettings {
  NamingMode mode = NamingMode::PrefixInSourceFolder;
  std::string prefix;        // as typed (trimmed here)
  std::string outputFolder;  // as shown
};

// The output folder the commands write into: the text as shown when a folder of exactly that
// name exists ("out " and "out" are different folders), otherwise the text trimmed of blanks.
std::string chosenOutputFolder(const std::string& shown);

// The single-image command's destination for the selected file.
//   selectedPath: the file list's full path of the selected file
//   treePath:     the folder tree's selected path
//   sourceFolder: the file list's directory
std::string singleImageDestination(const std::string& selectedPath, const std::string& treePath,
                                   const std::string& sourceFolder, const NamingSettings& naming);

// The batch's folder: the tree path with one trailing separator removed.
std::string batchDirectory(const std::string& treePath);

// How the batch command spells a folder's requests, worked out once for all its names.
struct BatchSpelling {
  std::string sourceFolder;     // a source is this, a separator and its name
  std::string destinationStem;  // a destination is this and the source's name
};
BatchSpelling batchSpelling(const std::string& treePath, const NamingSettings& naming);

ThumbnailRequest batchRequest(const BatchSpelling& spelling, const std::string& name,
                              const SizingRequest& sizing);

// One request per listed name, in list order, for the batch command.
std::vector<ThumbnailRequest> batchRequests(const std::string& treePath,
                                            const std::vector<std::string>& listedNames,
                                            const NamingSettings& naming,
                                            const SizingRequest& sizing);

}  // namespace velmora
