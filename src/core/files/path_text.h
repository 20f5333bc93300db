#pragma once
// Paths as text: the native separator and the few text rules the naming and listing share.

#include <string>
#include <vector>

namespace velmora {

inline constexpr char kPathSeparator = '/';

// True when the text's last byte is the separator.
bool endsWithSeparator(const std::string& path);

// folder + separator + name, without a second separator when the folder already ends with one.
std::string joinPath(const std::string& folder, const std::string& name);

// Removes every byte of value 32 or less at both ends (blanks and control characters).
std::string trimBlanks(const std::string& text);

// A folder as the file list keeps it: no trailing separator, except for the root.
std::string folderForm(std::string path);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);

// The last part of a path: the name after its last separator.
std::string nameOf(const std::string& path);

// The names between separators, in order; empty ones (doubled separators) left out.
std::vector<std::string> pathParts(const std::string& path);

}  // namespace velmora
