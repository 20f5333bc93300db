#pragma once
// A folder's JPEG files as the file list shows them; the window and the command-line tool both
// list folders this way.

#include <dirent.h>

#include <optional>
#include <string>
#include <vector>

#include "core/files/directory_handle.h"

namespace velmora {

// The bare names of the folder's entries matching "*.jpg" or "*.jpeg" without regard to letter
// case that are regular files (a symbolic link counts as what it points to), leaving out
// hidden (dot) files, folders and every other kind of entry, sorted by sortNamesForList.
// Nothing when the folder cannot be opened or read to its end (missing, not a folder, no
// permission): the file list then stays empty, and the caller decides whether to say so.
std::optional<std::vector<std::string>> listJpegFiles(const std::string& folder);

// The same for a folder held open.
std::optional<std::vector<std::string>> listJpegFiles(const DirectoryHandle& folder);

// Whether the folder's entry, as its listing gave it, is a regular file or a link to one; the
// system is asked only when the listing does not tell.
bool isRegularFileIn(const DirectoryHandle& folder, const dirent& entry);

enum class EntryKind { File, Folder, Other };

// What a listed entry is (a link is Other), as the listing gives it, asked of the system without
// following a link when the listing does not tell. Only a hint: every step taken on an entry
// checks again what it is.
EntryKind entryKindIn(const DirectoryHandle& folder, const dirent& entry);

// Whether the name matches "*.jpg" or "*.jpeg", ASCII letters compared without case.
bool matchesJpegPattern(const std::string& name);

// Sorts names as the file list keeps them: bytes compared with ASCII letters folded to lower
// case; names equal under folding keep a fixed order by their plain bytes ("A.jpg" before
// "a.jpg"), so the order never depends on the order the folder gives its entries.
void sortNamesForList(std::vector<std::string>& names);

// Whether `a` comes before `b` in that order.
bool listsBefore(const std::string& a, const std::string& b);

}  // namespace velmora
