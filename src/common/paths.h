// Content names and host paths.
//
// Content names are CP932, backslash-separated and case-insensitive; every
// function here walks them character by character, so a trail byte 0x5C is
// never taken for a separator. Host paths are UTF-8 with "/".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva::paths {

// True when s[i] is a '\\' or '/' that begins a character.
bool IsDelimiterAt(std::string_view s, size_t i);

// Position of the last delimiter that begins a character, or npos.
size_t LastDelimiter(std::string_view s);

// ".ext" of the last component (with the dot), or "" when it has none.
std::string ExtractFileExt(std::string_view name);
// The last component.
std::string ExtractFileName(std::string_view name);
// Everything up to and including the last delimiter ("" when there is none).
std::string ExtractFilePath(std::string_view name);
// The name with its extension replaced (ext includes the dot, may be "").
std::string ChangeFileExt(std::string_view name, std::string_view ext);
// Appends "\\" unless the name is empty or already ends with a delimiter.
std::string IncludeTrailingBackslash(std::string_view name);

// Components split at '\\' and '/', empty components dropped.
std::vector<std::string> SplitComponents(std::string_view name);

// True when a content name is absolute ("\\x", "/x", "C:...") or has a ".."
// component: such a name must not be turned into a host path under a folder.
bool EscapesFolder(std::string_view name);

// Host side -----------------------------------------------------------------

// ".ext" of the last component of a host path (with the dot, case kept),
// or "" when it has none. UTF-8 never puts '.' or '/' inside a character.
std::string ExtractHostExt(std::string_view hostPath);

// Joins a host folder and a relative host path with one "/".
std::string JoinHost(std::string_view folder, std::string_view rel);

// Finds the host file or folder for a CP932 content name below hostRoot,
// matching each component case-insensitively (ASCII letters fold) after
// converting it to UTF-8. Directory listings are cached per folder and
// re-read when the folder's modification time changes. Returns the host path
// of an existing entry, or nothing.
std::optional<std::string> ResolveCaseInsensitive(std::string_view hostRoot, std::string_view contentName);

bool IsRegularFile(const std::string& hostPath);
bool IsDirectory(const std::string& hostPath);

}  // namespace orva::paths
