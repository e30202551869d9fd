// The virtual file system: every content name is resolved against the root
// folder (loose files), the mounted collections in order, and the roots of
// mounted discs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/hash.h"
#include "common/streams.h"
#include "storage/archives.h"

namespace orva {

namespace platform {
class IMessageBox;
}

// One directory entry.
class TVrFile : public THashCollectionItem {
 public:
  using THashCollectionItem::THashCollectionItem;
  int64_t offset = 0;  // absolute, in the archive stream
  int64_t size = 0;
  std::unique_ptr<TMxMemoryStream> memory;  // entries made at run time
  uint8_t storageKind = 0;
  int32_t timeStamp = 0;
  uint32_t crc = 0;
  uint8_t checksumOfSource = 0;
};

// One mounted source: an archive file, a resource archive, or a collection
// of in-memory entries.
class TVrFileCollection {
 public:
  enum class Source { None, File, Resource };

  // A collection with no entries whose base folder is `baseFolder`.
  static std::unique_ptr<TVrFileCollection> Empty(const std::string& baseFolder = {});
  // Opens an archive file (plain, ".ext" companion, program-file overlay or
  // resource); a name that is not an existing file gives an empty collection
  // whose base folder is that name.
  static std::unique_ptr<TVrFileCollection> Open(const std::string& hostPath);
  static std::unique_ptr<TVrFileCollection> OpenResource(const std::string& modulePath, const std::string& resName,
                                                         const std::string& resType);

  THashCollection<TVrFile>& Files() { return files_; }
  TVrFile* Find(std::string_view name) const { return files_.Find(name); }

  // Adds (or replaces) an entry with in-memory data; returns its empty stream.
  TMxMemoryStream& AddMemoryEntry(const std::string& name);
  bool DeleteEntry(std::string_view name);

  // Reads the decoded bytes of an entry into `out` (position 0). False when
  // the entry has neither in-memory data nor an archive to come from.
  bool ReadEntry(const TVrFile& file, TStream& out);
  // The entry's bytes as stored in the archive (still encoded).
  std::vector<uint8_t> ReadStoredBytes(const TVrFile& file);
  // A streaming view of the entry's decoded bytes. Stored and scrambled
  // entries stream from the archive; compressed entries are decoded into
  // memory first.
  std::unique_ptr<TStream> OpenEntryStream(const TVrFile& file);

  // Appends entry names whose folder part equals `folder`, skipping names
  // already in the list.
  void ListFolder(std::string_view folder, std::vector<std::string>& list) const;

  // Writes every entry of this collection as an archive.
  void WriteArchive(TStream& out, const ArchiveWriteOptions& options);
  std::vector<ArchiveSource> ToSources();

  Source SourceKind() const { return source_; }
  bool HasArchive() const { return archive_ != nullptr; }
  const std::string& ArchivePath() const { return archivePath_; }
  const std::string& BaseFolder() const { return baseFolder_; }
  int Version() const { return version_; }

 private:
  TVrFileCollection() : files_(THashCollectionBase::Mode::Japanese) {}
  void Load(TStream& dirStream, int64_t dataSize, const std::string& label);

  THashCollection<TVrFile> files_;
  Source source_ = Source::None;
  std::unique_ptr<TStream> archive_;
  std::string archivePath_;  // host path (the module for resources)
  std::string resName_, resType_;
  std::string baseFolder_;   // host folder with a trailing "/"
  int version_ = 0;
};

// An entry extracted to a real file.
struct TVrLockData {
  std::string name;  // CP932 entry name
  int32_t id = 0;
  int32_t refCount = 1;
  std::string path;  // host path of the work file
};

class TVrFileManager {
 public:
  struct Options {
    // Roots of mounted discs; found from the mount table when not given.
    std::optional<std::vector<std::string>> cdRoots;
    // Where the private work-file folder is made (default: $TMPDIR or /tmp).
    std::string tempParent;
    platform::IMessageBox* messageBox = nullptr;
  };

  // Texts of the disc prompt, from the project.
  struct DiskPrompt {
    std::string title;     // CP932; caption of the prompts
    std::string prompt;    // CP932 format with %d; empty means the default
    std::string quitText;  // CP932; empty means the default
  };

  TVrFileManager();
  explicit TVrFileManager(Options options);
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // Host folder of loose files (stored with a trailing "/"; "" for none).
  void SetRootFolder(const std::string& hostFolder);
  const std::string& RootFolder() const { return root_; }

  // Mounts an archive; -1 when a collection with that base folder is mounted.
  int MountArchive(const std::string& hostPath);
  int MountResource(const std::string& modulePath, const std::string& resName, const std::string& resType);
  void Unmount(int index);
  int CollectionCount() const { return static_cast<int>(collections_.size()); }
  TVrFileCollection& Collection(int index) { return *collections_.at(static_cast<size_t>(index)); }
  // Collection 0: entries made at run time.
  TVrFileCollection& MemoryCollection() { return *collections_.front(); }

  bool FileExistsVfs(std::string_view name);
  // Fills `out` with the entry's decoded bytes, position 0 (a memory stream
  // is cleared first). Throws "%s:ファイルがありません".
  void LoadEntry(TStream& out, std::string_view name);
  std::vector<uint8_t> LoadEntryBytes(std::string_view name);
  std::unique_ptr<TStream> OpenRangeStream(std::string_view name);
  // A host path for the entry: the loose file, a work file (extracted once,
  // its reference count raised on each call), a disc file, or the name itself.
  std::string ResolveToPath(std::string_view name);
  // Drops one reference to an extracted entry, now or after delayMs of frame
  // time; the work file is deleted when the last reference goes.
  void ReleasePath(std::string_view name, int32_t delayMs = 0);
  void ListFolder(std::string_view folder, std::vector<std::string>& list);
  TVrFile* FindEntry(std::string_view name);

  // Once per frame tick: delayed releases, then deletion of queued work files.
  void Upkeep(int32_t frameDelta);

  void SetMessageBox(platform::IMessageBox* box) { options_.messageBox = box; }
  void SetDiskPrompt(DiskPrompt prompt) { diskPrompt_ = std::move(prompt); }
  // Asks for disc n until it is inserted (true) or the user quits (false,
  // after calling the terminate handler).
  bool AskForDisk(int disk);
  void SetTerminateHandler(std::function<void()> handler) { onTerminate_ = std::move(handler); }

  // Finds the installed content at start-up from "install.dat" (see the
  // project's start). False when start-up must stop.
  bool LocateInstallation(const std::string& programFolder);

  std::function<void(TVrFileCollection*)> onMounted;
  std::function<void(TVrFileCollection*)> onRemoved;

  const std::string& TempFolder() const { return tempFolder_; }
  // Roots of mounted discs, found when the manager is made and looked for
  // again whenever a disc is asked for.
  const std::vector<std::string>& CdRoots() const { return cdRoots_; }
  const std::map<std::string, TVrLockData>& WorkFiles() const { return locks_; }

 private:
  std::optional<std::string> LooseFile(const std::string& root, std::string_view name);
  const TVrLockData* Extract(const std::string& name);
  void DropLock(const std::string& key);
  void DeleteQueuedWorkFiles();
  bool TryMountDisc(int disk, const std::string& setName, bool matchDisk);

  Options options_;
  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
  std::string root_;
  std::vector<std::string> cdRoots_;
  std::string tempFolder_;
  std::map<std::string, TVrLockData> locks_;  // key: upper-cased entry name
  int32_t nextId_ = 1;
  struct DelayedRelease {
    std::string key;
    int32_t remaining;
  };
  std::vector<DelayedRelease> delayed_;
  std::vector<std::string> deleteQueue_;
  DiskPrompt diskPrompt_;
  std::function<void()> onTerminate_;
};

// Roots of mounted optical discs (iso9660 and udf file systems).
std::vector<std::string> DetectDiscRoots();

}  // namespace orva
