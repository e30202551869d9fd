#include "common/paths.h"

#include <sys/stat.h>

#include <dirent.h>

#include <map>
#include <mutex>
#include <unordered_map>

#include "common/cp932.h"

namespace orva::paths {

bool IsDelimiterAt(std::string_view s, size_t i) {
  return i < s.size() && (s[i] == '\\' || s[i] == '/') && cp932::IsCharStart(s, i);
}

size_t LastDelimiter(std::string_view s) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i))
    if (s[i] == '\\' || s[i] == '/') last = i;
  return last;
}

namespace {
// Position of the dot of the extension in the last component, or npos.
size_t ExtDot(std::string_view name) {
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < name.size(); i += cp932::CharLength(name, i)) {
    if (name[i] == '.') dot = i;
    else if (name[i] == '\\' || name[i] == '/' || name[i] == ':') dot = std::string_view::npos;
  }
  return dot;
}
}  // namespace

std::string ExtractFileExt(std::string_view name) {
  size_t dot = ExtDot(name);
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ExtractFileName(std::string_view name) {
  size_t d = LastDelimiter(name);
  return std::string(d == std::string_view::npos ? name : name.substr(d + 1));
}

std::string ExtractFilePath(std::string_view name) {
  size_t d = LastDelimiter(name);
  return d == std::string_view::npos ? std::string() : std::string(name.substr(0, d + 1));
}

std::string ChangeFileExt(std::string_view name, std::string_view ext) {
  size_t dot = ExtDot(name);
  std::string base(dot == std::string_view::npos ? name : name.substr(0, dot));
  return base + std::string(ext);
}

std::string IncludeTrailingBackslash(std::string_view name) {
  std::string s(name);
  if (!s.empty() && LastDelimiter(s) != s.size() - 1) s += '\\';
  return s;
}

std::vector<std::string> SplitComponents(std::string_view name) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i < name.size();) {
    size_t len = cp932::CharLength(name, i);
    if (len == 1 && (name[i] == '\\' || name[i] == '/')) {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.append(name.substr(i, len));
    }
    i += len;
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  return parts;
}

bool EscapesFolder(std::string_view name) {
  if (name.empty()) return false;
  if (name[0] == '\\' || name[0] == '/') return true;
  if (name.size() >= 2 && name[1] == ':' && !cp932::IsLeadByte(static_cast<unsigned char>(name[0]))) return true;
  for (const auto& part : SplitComponents(name))
    if (part == "..") return true;
  return false;
}

std::string ExtractHostExt(std::string_view hostPath) {
  const size_t dot = hostPath.rfind('.');
  const size_t slash = hostPath.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return std::string(hostPath.substr(dot));
}

std::string JoinHost(std::string_view folder, std::string_view rel) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  while (!rel.empty() && rel.front() == '/') rel.remove_prefix(1);
  out += rel;
  return out;
}

bool IsRegularFile(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

struct FolderListing {
  struct timespec mtime {};
  std::multimap<std::string, std::string> byFolded;  // folded name -> real name
};

class ListingCache {
 public:
  // Real name in folder matching `want` case-insensitively (an exact match
  // first), or nothing.
  std::optional<std::string> Match(const std::string& folder, const std::string& want) {
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    FolderListing& listing = cache_[folder];
    if (listing.mtime.tv_sec != st.st_mtim.tv_sec || listing.mtime.tv_nsec != st.st_mtim.tv_nsec ||
        listing.byFolded.empty()) {
      Reload(folder, listing);
      listing.mtime = st.st_mtim;
    }
    auto range = listing.byFolded.equal_range(FoldAscii(want));
    if (range.first == range.second) return std::nullopt;
    for (auto it = range.first; it != range.second; ++it)
      if (it->second == want) return want;
    return range.first->second;
  }

 private:
  static void Reload(const std::string& folder, FolderListing& listing) {
    listing.byFolded.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = ::readdir(dir)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      listing.byFolded.emplace(FoldAscii(n), n);
    }
    ::closedir(dir);
  }

  std::mutex mutex_;
  std::unordered_map<std::string, FolderListing> cache_;
};

ListingCache& Cache() {
  static ListingCache cache;
  return cache;
}

}  // namespace

std::optional<std::string> ResolveCaseInsensitive(std::string_view hostRoot, std::string_view contentName) {
  std::string path(hostRoot);
  if (path.empty()) path = ".";
  for (const auto& part : SplitComponents(contentName)) {
    std::string utf8 = cp932::ToUtf8(part);
    if (utf8 == "." || utf8 == "..") {
      path = JoinHost(path, utf8);
      continue;
    }
    std::string exact = JoinHost(path, utf8);
    struct stat st;
    if (::stat(exact.c_str(), &st) == 0) {
      path = std::move(exact);
      continue;
    }
    auto real = Cache().Match(path, utf8);
    if (!real) return std::nullopt;
    path = JoinHost(path, *real);
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return path;
}

}  // namespace orva::paths
