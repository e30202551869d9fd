#include "storage/vrfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/log.h"
#include "common/paths.h"
#include "platform/message_box.h"
#include "storage/bigstreams.h"
#include "storage/installsets.h"
#include "storage/peresources.h"
#include "storage/scrambles.h"

namespace orva {

namespace {

std::string WithSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

std::string HostFolderOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? std::string("./") : hostPath.substr(0, slash + 1);
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string HostExtension(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  size_t dot = hostPath.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return LowerAscii(hostPath.substr(dot));
}

// Position of the directory named by a 6-byte "ov" trailer, if the file ends
// with a plausible one.
std::optional<int64_t> OverlayTrailer(TStream& file) {
  int64_t size = file.GetSize();
  if (size < 6) return std::nullopt;
  file.SetPosition(size - 6);
  int32_t pos = file.ReadInt32();
  char tag[2];
  file.ReadExact(tag, 2);
  if (tag[0] != 'o' || tag[1] != 'v' || pos < 0 || pos >= size - 6) return std::nullopt;
  return pos;
}

bool StartsWithVf(TStream& file, int64_t at) {
  char m[2] = {};
  file.SetPosition(at);
  return file.Read(m, 2) == 2 && m[0] == 'v' && m[1] == 'f';
}

std::string MessageText(const std::string& cp932) { return cp932::ToUtf8(cp932); }

std::string FormatDisk(const std::string& cp932Format, int disk) {
  std::string out;
  for (size_t i = 0; i < cp932Format.size(); i += cp932::CharLength(cp932Format, i)) {
    if (cp932Format.compare(i, 2, "%d") == 0) {
      out += std::to_string(disk);
      ++i;
      continue;
    }
    out.append(cp932Format, i, cp932::CharLength(cp932Format, i));
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------- collection

std::unique_ptr<TVrFileCollection> TVrFileCollection::Empty(const std::string& baseFolder) {
  auto c = std::unique_ptr<TVrFileCollection>(new TVrFileCollection);
  c->baseFolder_ = WithSlash(baseFolder);
  return c;
}

void TVrFileCollection::Load(TStream& dirStream, int64_t dataSize, const std::string& label) {
  ArchiveDirectory dir = ReadArchiveDirectory(dirStream, dataSize, label);
  version_ = dir.version;
  for (auto& e : dir.entries) {
    auto f = std::make_unique<TVrFile>(std::move(e.name));
    f->offset = e.offset;
    f->size = e.size;
    f->storageKind = e.kind;
    f->timeStamp = e.timeStamp;
    f->crc = e.crc;
    f->checksumOfSource = e.checksumOfSource;
    files_.Add(std::move(f));
  }
}

std::unique_ptr<TVrFileCollection> TVrFileCollection::Open(const std::string& hostPath) {
  if (hostPath.empty() || !paths::IsRegularFile(hostPath)) return Empty(hostPath);

  auto file = std::make_unique<TMxBigFileStream>(hostPath, FileOpenMode::Read);
  const int64_t size = file->GetSize();
  char head[2] = {};
  file->SetPosition(0);
  file->Read(head, 2);
  const std::string ext = HostExtension(hostPath);
  const bool program = ext == ".exe" || ext == ".scr" || (head[0] == 'M' && head[1] == 'Z');

  auto c = std::unique_ptr<TVrFileCollection>(new TVrFileCollection);
  c->archivePath_ = hostPath;
  c->baseFolder_ = HostFolderOf(hostPath);
  c->source_ = Source::File;

  if (program) {
    if (auto pos = OverlayTrailer(*file)) {
      file->SetPosition(*pos);
      c->Load(*file, size, hostPath);
    } else if (IsPeFile(*file) && FindPeResource(*file, "DUMMY", "BINTYPE")) {
      return OpenResource(hostPath, "DUMMY", "BINTYPE");
    } else {
      throw OrvaError::Utf8(hostPath + ": holds no content archive (no overlay trailer, no archive resource)");
    }
  } else {
    std::string companion = hostPath.substr(0, hostPath.size() - ext.size()) + ".ext";
    if (ext == ".ext") companion.clear();
    if (!companion.empty() && !paths::IsRegularFile(companion)) {
      size_t slash = companion.rfind('/');
      std::string folder = slash == std::string::npos ? "." : companion.substr(0, slash);
      auto found = paths::ResolveCaseInsensitive(folder, cp932::FromUtf8(companion.substr(slash + 1)));
      companion = found ? *found : std::string();
    }
    if (!companion.empty() && paths::IsRegularFile(companion)) {
      TMxMemoryStream dir;
      dir.LoadFromFile(companion);
      c->Load(dir, size, companion);
    } else if (StartsWithVf(*file, 0)) {
      file->SetPosition(0);
      c->Load(*file, size, hostPath);
    } else if (auto pos = OverlayTrailer(*file); pos && StartsWithVf(*file, *pos)) {
      file->SetPosition(*pos);
      c->Load(*file, size, hostPath);
    } else {
      file->SetPosition(0);
      c->Load(*file, size, hostPath);
    }
  }
  c->archive_ = std::move(file);
  return c;
}

std::unique_ptr<TVrFileCollection> TVrFileCollection::OpenResource(const std::string& modulePath,
                                                                   const std::string& resName,
                                                                   const std::string& resType) {
  auto stream = std::make_unique<TMxBigResourceStream>(modulePath, resName, resType);
  auto c = std::unique_ptr<TVrFileCollection>(new TVrFileCollection);
  c->archivePath_ = modulePath;
  c->resName_ = resName;
  c->resType_ = resType;
  c->baseFolder_ = HostFolderOf(modulePath);
  c->source_ = Source::Resource;
  stream->SetPosition(0);
  c->Load(*stream, stream->GetSize(), modulePath + " (" + resType + "/" + resName + ")");
  c->archive_ = std::move(stream);
  return c;
}

TMxMemoryStream& TVrFileCollection::AddMemoryEntry(const std::string& name) {
  DeleteEntry(name);
  auto f = std::make_unique<TVrFile>(name);
  f->memory = std::make_unique<TMxMemoryStream>();
  f->storageKind = kStoredPlain;
  return *files_.Add(std::move(f)).memory;
}

bool TVrFileCollection::DeleteEntry(std::string_view name) {
  int i = files_.IndexOf(name);
  if (i < 0) return false;
  files_.Delete(i);
  return true;
}

bool TVrFileCollection::ReadEntry(const TVrFile& file, TStream& out) {
  auto* mem = dynamic_cast<TMxMemoryStream*>(&out);
  if (file.memory) {
    if (mem) {
      mem->MutableBytes() = file.memory->Bytes();
    } else {
      file.memory->SetPosition(0);
      out.CopyFrom(*file.memory, file.memory->GetSize());
    }
    out.SetPosition(0);
    return true;
  }
  if (!archive_) return false;
  TMxMemoryStream local;
  TMxMemoryStream& m = mem ? *mem : local;
  m.Clear();
  m.SetSize(file.size);
  archive_->SetPosition(file.offset);
  archive_->ReadExact(m.Memory(), file.size);
  try {
    DecodeEntryInPlace(m, file.storageKind);
  } catch (const OrvaError& e) {
    throw OrvaError(file.Name() + ":" + e.message());
  }
  if (!mem) {
    m.SetPosition(0);
    out.CopyFrom(m, m.GetSize());
  }
  out.SetPosition(0);
  return true;
}

std::vector<uint8_t> TVrFileCollection::ReadStoredBytes(const TVrFile& file) {
  if (file.memory) return file.memory->Bytes();
  if (!archive_) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(file.size));
  archive_->SetPosition(file.offset);
  archive_->ReadExact(bytes.data(), file.size);
  return bytes;
}

std::unique_ptr<TStream> TVrFileCollection::OpenEntryStream(const TVrFile& file) {
  const bool compressed = file.storageKind == kStoredCompressed || file.storageKind == kStoredCompressedScrambled;
  if (file.memory || compressed || !archive_) {
    // Compressed bytes cannot be streamed: decode the entry into memory.
    auto mem = std::make_unique<TMxMemoryStream>();
    if (!ReadEntry(file, *mem)) return nullptr;
    return std::make_unique<TRangeStream>(std::move(mem), 0, TRangeStream::kToEnd);
  }
  const bool scrambled = file.storageKind == kStoredScrambled;
  if (source_ == Source::Resource) {
    if (scrambled)
      return std::make_unique<TScrambleResourceRangeStream>(archivePath_, resName_, resType_, file.offset, file.size);
    return std::make_unique<TResourceRangeStream>(archivePath_, resName_, resType_, file.offset, file.size);
  }
  if (scrambled) return std::make_unique<TScrambleFileRangeStream>(archivePath_, file.offset, file.size);
  return std::make_unique<TFileRangeStream>(archivePath_, file.offset, file.size);
}

void TVrFileCollection::ListFolder(std::string_view folder, std::vector<std::string>& list) const {
  std::string want = folder.empty() ? std::string() : paths::IncludeTrailingBackslash(folder);
  std::set<std::string> seen;
  for (const auto& n : list) seen.insert(cp932::ToLower(n));
  for (int i = 0; i < files_.Count(); ++i) {
    const std::string& name = files_.At(i).Name();
    if (!cp932::SameTextCI(paths::ExtractFilePath(name), want)) continue;
    if (seen.insert(cp932::ToLower(name)).second) list.push_back(name);
  }
}

std::vector<ArchiveSource> TVrFileCollection::ToSources() {
  std::vector<ArchiveSource> sources;
  for (int i = 0; i < files_.Count(); ++i) {
    TVrFile& f = files_.At(i);
    TMxMemoryStream m;
    if (!ReadEntry(f, m)) continue;
    ArchiveSource s;
    s.name = f.Name();
    s.data = m.TakeBytes();
    s.timeStamp = f.timeStamp;
    s.checksumOfSource = f.checksumOfSource != 0;
    sources.push_back(std::move(s));
  }
  return sources;
}

void TVrFileCollection::WriteArchive(TStream& out, const ArchiveWriteOptions& options) {
  orva::WriteArchive(out, out, ToSources(), options);
}

// ------------------------------------------------------------------- manager

TVrFileManager::TVrFileManager() : TVrFileManager(Options{}) {}

TVrFileManager::TVrFileManager(Options options) : options_(std::move(options)) {
  collections_.push_back(TVrFileCollection::Empty());
  cdRoots_ = options_.cdRoots ? *options_.cdRoots : DetectDiscRoots();
}

TVrFileManager::~TVrFileManager() {
  for (auto& [key, lock] : locks_) deleteQueue_.push_back(lock.path);
  locks_.clear();
  DeleteQueuedWorkFiles();
  if (!tempFolder_.empty()) {
    // The folder is ours alone; remove whatever is left in it.
    if (DIR* dir = ::opendir(tempFolder_.c_str())) {
      while (dirent* e = ::readdir(dir)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") ::unlink((tempFolder_ + n).c_str());
      }
      ::closedir(dir);
    }
    ::rmdir(tempFolder_.c_str());
  }
}

void TVrFileManager::SetRootFolder(const std::string& hostFolder) {
  root_ = WithSlash(hostFolder);
  if (onMounted) onMounted(nullptr);
}

int TVrFileManager::MountArchive(const std::string& hostPath) {
  const std::string asFolder = LowerAscii(WithSlash(hostPath));
  for (const auto& c : collections_) {
    if (LowerAscii(c->BaseFolder()) == asFolder) return -1;
    if (!hostPath.empty() && c->ArchivePath() == hostPath) return -1;  // already open
  }
  collections_.push_back(TVrFileCollection::Open(hostPath));
  if (onMounted) onMounted(collections_.back().get());
  return static_cast<int>(collections_.size()) - 1;
}

int TVrFileManager::MountResource(const std::string& modulePath, const std::string& resName,
                                  const std::string& resType) {
  if (!paths::IsRegularFile(modulePath)) return -1;
  collections_.push_back(TVrFileCollection::OpenResource(modulePath, resName, resType));
  if (onMounted) onMounted(collections_.back().get());
  return static_cast<int>(collections_.size()) - 1;
}

void TVrFileManager::Unmount(int index) {
  if (index < 0 || index >= CollectionCount()) return;
  if (onRemoved) onRemoved(collections_[static_cast<size_t>(index)].get());
  collections_.erase(collections_.begin() + index);
}


std::optional<std::string> TVrFileManager::LooseFile(const std::string& root, std::string_view name) {
  if (root.empty() || name.empty()) return std::nullopt;
  auto path = paths::ResolveCaseInsensitive(root, name);
  if (path && paths::IsRegularFile(*path)) return path;
  return std::nullopt;
}

TVrFile* TVrFileManager::FindEntry(std::string_view name) {
  for (auto& c : collections_)
    if (TVrFile* f = c->Find(name)) return f;
  return nullptr;
}

bool TVrFileManager::FileExistsVfs(std::string_view name) {
  if (name.empty()) return false;
  if (FindEntry(name)) return true;
  if (LooseFile(root_, name)) return true;
  for (const auto& cd : CdRoots())
    if (LooseFile(cd, name)) return true;
  return false;
}

namespace {
void LoadHostFile(TStream& out, const std::string& path) {
  if (auto* mem = dynamic_cast<TMxMemoryStream*>(&out)) {
    mem->LoadFromFile(path);
  } else {
    TMxBigFileStream in(path, FileOpenMode::Read);
    out.CopyFrom(in, in.GetSize());
  }
  out.SetPosition(0);
}
}  // namespace

void TVrFileManager::LoadEntry(TStream& out, std::string_view name) {
  if (auto* mem = dynamic_cast<TMxMemoryStream*>(&out)) mem->Clear();
  if (auto path = LooseFile(root_, name)) return LoadHostFile(out, *path);
  for (auto& c : collections_) {
    TVrFile* f = c->Find(name);
    if (f && c->ReadEntry(*f, out)) return;
  }
  for (const auto& cd : CdRoots())
    if (auto path = LooseFile(cd, name)) return LoadHostFile(out, *path);
  throw OrvaError::Format("%s:ファイルがありません", name);
}

std::vector<uint8_t> TVrFileManager::LoadEntryBytes(std::string_view name) {
  TMxMemoryStream m;
  LoadEntry(m, name);
  return m.TakeBytes();
}

std::unique_ptr<TStream> TVrFileManager::OpenRangeStream(std::string_view name) {
  if (auto path = LooseFile(root_, name)) return std::make_unique<TFileRangeStream>(*path, 0, TRangeStream::kToEnd);
  for (auto& c : collections_) {
    TVrFile* f = c->Find(name);
    if (!f) continue;
    if (auto s = c->OpenEntryStream(*f)) return s;
  }
  for (const auto& cd : CdRoots())
    if (auto path = LooseFile(cd, name)) return std::make_unique<TFileRangeStream>(*path, 0, TRangeStream::kToEnd);
  throw OrvaError::Format("%s:ファイルがありません", name);
}

const TVrLockData* TVrFileManager::Extract(const std::string& name) {
  const std::string key = cp932::ToUpper(name);
  if (auto it = locks_.find(key); it != locks_.end()) {
    ++it->second.refCount;
    return &it->second;
  }
  if (tempFolder_.empty()) {
    std::string parent = options_.tempParent;
    if (parent.empty()) {
      const char* t = std::getenv("TMPDIR");
      parent = (t && *t) ? t : "/tmp";
    }
    std::string templ = WithSlash(parent) + "orvaplayer-XXXXXX";
    if (!::mkdtemp(templ.data())) throw OrvaError::Utf8("作業用ファイルが作れません");
    tempFolder_ = templ + "/";
  }
  const std::string ext = cp932::ToUtf8(paths::ExtractFileExt(name));
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int32_t id = nextId_++;
    bool used = false;
    for (const auto& [k, lock] : locks_) used = used || lock.id == id;
    if (used) continue;
    char stem[16];
    std::snprintf(stem, sizeof stem, "~ov%08X", static_cast<uint32_t>(id));
    std::string path = tempFolder_ + stem + ext;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw OrvaError::Utf8("作業用ファイルが作れません");
    }
    try {
      std::vector<uint8_t> bytes = LoadEntryBytes(name);
      size_t done = 0;
      while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) throw OrvaError::Utf8("作業用ファイルが作れません");
        done += static_cast<size_t>(w);
      }
      ::close(fd);
    } catch (...) {
      ::close(fd);
      ::unlink(path.c_str());
      throw;
    }
    TVrLockData lock;
    lock.name = name;
    lock.id = id;
    lock.path = path;
    return &locks_.emplace(key, std::move(lock)).first->second;
  }
  throw OrvaError::Utf8("作業用ファイルが作れません");
}

std::string TVrFileManager::ResolveToPath(std::string_view name) {
  if (auto path = LooseFile(root_, name)) return *path;
  if (FindEntry(name)) return Extract(std::string(name))->path;
  for (const auto& cd : CdRoots())
    if (auto path = LooseFile(cd, name)) return *path;
  return cp932::ToUtf8(name);
}

void TVrFileManager::DropLock(const std::string& key) {
  auto it = locks_.find(key);
  if (it == locks_.end()) return;
  if (--it->second.refCount > 0) return;
  deleteQueue_.push_back(it->second.path);
  locks_.erase(it);
}

void TVrFileManager::ReleasePath(std::string_view name, int32_t delayMs) {
  std::string key = cp932::ToUpper(name);
  if (delayMs <= 0) DropLock(key);
  else delayed_.push_back({key, delayMs});
}

void TVrFileManager::DeleteQueuedWorkFiles() {
  std::vector<std::string> stillThere;
  for (const auto& path : deleteQueue_)
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) stillThere.push_back(path);
  deleteQueue_ = std::move(stillThere);
}

void TVrFileManager::Upkeep(int32_t frameDelta) {
  for (size_t i = delayed_.size(); i-- > 0;) {
    delayed_[i].remaining -= frameDelta;
    if (delayed_[i].remaining <= 0) {
      std::string key = std::move(delayed_[i].key);
      delayed_.erase(delayed_.begin() + static_cast<std::ptrdiff_t>(i));
      DropLock(key);
    }
  }
  if (!deleteQueue_.empty()) DeleteQueuedWorkFiles();
}

void TVrFileManager::ListFolder(std::string_view folder, std::vector<std::string>& list) {
  for (auto& c : collections_) c->ListFolder(folder, list);
  std::set<std::string> seen;
  for (const auto& n : list) seen.insert(cp932::ToLower(n));
  std::string prefix = folder.empty() ? std::string() : paths::IncludeTrailingBackslash(folder);
  std::vector<std::string> roots;
  if (!root_.empty()) roots.push_back(root_);
  for (const auto& cd : CdRoots()) roots.push_back(cd);
  for (const auto& root : roots) {
    std::optional<std::string> dirPath =
        prefix.empty() ? std::optional<std::string>(root) : paths::ResolveCaseInsensitive(root, prefix);
    if (!dirPath || !paths::IsDirectory(*dirPath)) continue;
    DIR* dir = ::opendir(dirPath->c_str());
    if (!dir) continue;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      if (!paths::IsRegularFile(paths::JoinHost(*dirPath, n))) continue;
      names.push_back(n);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
      std::string cp;
      try {
        cp = prefix + cp932::FromUtf8(n);
      } catch (const OrvaError&) {
        continue;  // a host name no content name can spell
      }
      if (seen.insert(cp932::ToLower(cp)).second) list.push_back(cp);
    }
  }
}

// ------------------------------------------------------------- discs, install

bool TVrFileManager::TryMountDisc(int disk, const std::string& setName, bool matchDisk) {
  if (!options_.cdRoots) cdRoots_ = DetectDiscRoots();  // a disc may have been put in
  for (const auto& cd : CdRoots()) {
    auto game = LooseFile(cd, "game.dat");
    auto install = LooseFile(cd, "install.dat");
    if (!game || !install) continue;
    try {
      TMxMemoryStream m;
      m.LoadFromFile(*install);
      TOrvaInstallSet set;
      set.Read(m);
      if (set.setName != setName || (matchDisk && set.diskNumber != disk)) continue;
      MountArchive(*game);
      return true;
    } catch (const OrvaError& e) {
      log::Warning(e.what());
    }
  }
  return false;
}

bool TVrFileManager::AskForDisk(int disk) {
  // A disc that was taken out is forgotten.
  for (const auto& cd : CdRoots()) {
    for (int i = CollectionCount() - 1; i >= 1; --i)
      if (Collection(i).BaseFolder().rfind(cd, 0) == 0) Unmount(i);
  }
  platform::IMessageBox* box = options_.messageBox;
  const std::string prompt =
      diskPrompt_.prompt.empty() ? Sys("ディスク%dを入れてから[OK]をクリックしてください") : diskPrompt_.prompt;
  const std::string quit = diskPrompt_.quitText.empty() ? Sys("終了します") : diskPrompt_.quitText;
  const std::string caption = MessageText(diskPrompt_.title);
  for (;;) {
    if (!box) return false;
    bool interactive = box->Interactive();
    auto r = box->Show(MessageText(FormatDisk(prompt, disk)), caption, platform::MessageButtons::OkCancel);
    if (r == platform::MessageResult::Ok) {
      if (TryMountDisc(disk, diskPrompt_.title, true)) return true;
      if (interactive) continue;
    }
    // Cancel (or nobody there to insert a disc): confirm quitting.
    interactive = box->Interactive();
    auto q = box->Show(MessageText(quit), caption, platform::MessageButtons::OkCancel);
    if (q == platform::MessageResult::Ok || !interactive) {
      if (onTerminate_) onTerminate_();
      return false;
    }
  }
}

bool TVrFileManager::LocateInstallation(const std::string& programFolder) {
  platform::IMessageBox* box = options_.messageBox;
  const std::string info = "情報";
  if (root_.empty() && LooseFile(WithSlash(programFolder), "install.dat")) SetRootFolder(programFolder);
  if (!FileExistsVfs("install.dat")) {
    if (box) box->Show("インストールし直してください", info, platform::MessageButtons::Ok, platform::MessageIcon::Information);
    return false;
  }
  TOrvaInstallSet set;
  {
    TMxMemoryStream m;
    LoadEntry(m, "install.dat");
    set.Read(m);
  }
  if (auto game = LooseFile(root_, "game.dat")) {
    MountArchive(*game);
    if (set.contentComplete) return true;
  } else if (CollectionCount() > 1 && set.contentComplete) {
    return true;
  }
  for (;;) {
    if (TryMountDisc(0, set.setName, false)) return true;
    if (!box) return false;
    bool interactive = box->Interactive();
    auto r = box->Show("ディスクを入れてください", info, platform::MessageButtons::OkCancel,
                       platform::MessageIcon::Information);
    if (r == platform::MessageResult::Ok && interactive) continue;
    const std::string quit = diskPrompt_.quitText.empty() ? Sys("終了します") : diskPrompt_.quitText;
    interactive = box->Interactive();
    auto q = box->Show(MessageText(quit), info, platform::MessageButtons::OkCancel);
    if (q == platform::MessageResult::Ok || !interactive) return false;
  }
}

std::vector<std::string> DetectDiscRoots() {
  std::vector<std::string> roots;
  std::ifstream mounts("/proc/self/mounts");
  std::string device, mountPoint, type, rest;
  while (mounts >> device >> mountPoint >> type) {
    std::getline(mounts, rest);
    if (type != "iso9660" && type != "udf") continue;
    std::string unescaped;
    for (size_t i = 0; i < mountPoint.size(); ++i) {
      if (mountPoint[i] == '\\' && i + 3 < mountPoint.size()) {
        unescaped += static_cast<char>(std::stoi(mountPoint.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        unescaped += mountPoint[i];
      }
    }
    roots.push_back(WithSlash(unescaped));
  }
  return roots;
}

}  // namespace orva
