#pragma once
// The run checks of the command-line tool, which takes several folders, trees and files in one
// run: each is checked as a command checks its folder, before anything is written.

#include <cstddef>
#include <string>

#include "core/rules/output_naming.h"
#include "core/rules/run_checks.h"

namespace velmora {

enum class SourceKind {
  File,    // one file, run as the single-image command in its folder
  Folder,  // a folder's listed JPEG files, run as the batch command
  Tree,    // a folder with its sub-folders, whose files are found while the run goes on
};

struct CheckedSource {
  SourceKind kind = SourceKind::File;
  std::string folder;           // a folder's or tree's own path, a file's folder
  std::size_t listedFiles = 0;  // a folder's JPEG files (a file is one, a tree is not counted)
};

// The first failing check of one source, or Pass. A tree's files are only known as it is
// walked, so its count is checked for the whole run at its end; a tree mirrored into a folder
// that holds it is refused as the same folder, since its thumbnails could land on its pictures.
RunCheckResult checkSource(const CheckedSource& source, const NamingSettings& naming);

}  // namespace velmora
