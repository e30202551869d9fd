#include "storage/peresources.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"

namespace orva {

namespace {

[[noreturn]] void Damaged(const char* what) {
  throw OrvaError::Utf8(std::string("program file is damaged (") + what + ")");
}

class PeImage {
 public:
  explicit PeImage(TStream& file) : file_(file), size_(file.GetSize()) {}

  uint32_t U32(int64_t at) {
    uint8_t b[4];
    Bytes(at, b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  uint16_t U16(int64_t at) {
    uint8_t b[2];
    Bytes(at, b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  void Bytes(int64_t at, void* out, int64_t n) {
    if (at < 0 || n < 0 || at > size_ || n > size_ - at) Damaged("offset outside the file");
    file_.SetPosition(at);
    file_.ReadExact(out, n);
  }
  int64_t Size() const { return size_; }

  struct Section {
    uint32_t va, vsize, rawSize, rawPtr;
  };

  // Reads the headers; false when this is not a PE file at all.
  bool Load() {
    if (size_ < 0x40) return false;
    uint8_t mz[2];
    Bytes(0, mz, 2);
    if (mz[0] != 'M' || mz[1] != 'Z') return false;
    int64_t pe = U32(0x3C);
    if (pe + 24 > size_) return false;
    uint8_t sig[4];
    Bytes(pe, sig, 4);
    if (std::memcmp(sig, "PE\0\0", 4) != 0) return false;
    uint16_t sections = U16(pe + 6);
    uint16_t optSize = U16(pe + 20);
    int64_t opt = pe + 24;
    uint16_t magic = U16(opt);
    int64_t dirCountAt, dirsAt;
    if (magic == 0x10B) {
      dirCountAt = opt + 92;
      dirsAt = opt + 96;
    } else if (magic == 0x20B) {
      dirCountAt = opt + 108;
      dirsAt = opt + 112;
    } else {
      Damaged("unknown optional header");
    }
    uint32_t dirCount = U32(dirCountAt);
    if (dirCount > 2 && dirsAt + 3 * 8 <= opt + optSize) {
      resourceRva_ = U32(dirsAt + 2 * 8);
      resourceSize_ = U32(dirsAt + 2 * 8 + 4);
    }
    int64_t table = opt + optSize;
    if (sections > 96) Damaged("too many sections");
    for (int i = 0; i < sections; ++i) {
      int64_t at = table + i * 40;
      sections_.push_back({U32(at + 12), U32(at + 8), U32(at + 16), U32(at + 20)});
    }
    return true;
  }

  // File offset of an RVA range, checked to lie inside one section's raw data.
  int64_t Offset(uint32_t rva, uint32_t length) {
    for (const Section& s : sections_) {
      uint64_t span = std::max(s.vsize, s.rawSize);
      if (rva >= s.va && rva - static_cast<uint64_t>(s.va) < span) {
        uint64_t within = rva - static_cast<uint64_t>(s.va);
        if (within + length > s.rawSize) Damaged("resource outside its section");
        int64_t off = static_cast<int64_t>(s.rawPtr) + static_cast<int64_t>(within);
        if (off + length > size_) Damaged("resource outside the file");
        return off;
      }
    }
    Damaged("address outside every section");
  }

  uint32_t resourceRva_ = 0, resourceSize_ = 0;
  std::vector<Section> sections_;

 private:
  TStream& file_;
  int64_t size_;
};

struct Key {
  bool isId = false;
  uint32_t id = 0;
  std::u16string name;  // upper-cased ASCII
};

Key MakeKey(std::string_view s) {
  Key k;
  if (!s.empty() && s[0] == '#') {
    k.isId = true;
    for (char c : s.substr(1)) {
      if (c < '0' || c > '9') {
        k.isId = false;
        break;
      }
      k.id = k.id * 10 + static_cast<uint32_t>(c - '0');
      if (k.id > 0xFFFF) k.isId = false;
    }
    if (k.isId) return k;
  }
  for (unsigned char c : s) k.name.push_back(static_cast<char16_t>((c >= 'a' && c <= 'z') ? c - 32 : c));
  return k;
}

class ResourceTree {
 public:
  ResourceTree(PeImage& img, int64_t base, uint32_t size) : img_(img), base_(base), size_(size) {}

  // Offset (within the tree) of the child matching key, or of the first
  // child when key is null; nothing when absent. *isDir tells the kind.
  std::optional<uint32_t> Child(uint32_t dirOffset, const Key* key, bool* isDir) {
    Check(dirOffset, 16);
    uint32_t count = img_.U16(base_ + dirOffset + 12) + static_cast<uint32_t>(img_.U16(base_ + dirOffset + 14));
    Check(dirOffset + 16, static_cast<uint64_t>(count) * 8);
    for (uint32_t i = 0; i < count; ++i) {
      int64_t e = base_ + dirOffset + 16 + i * 8;
      uint32_t nameField = img_.U32(e);
      uint32_t dataField = img_.U32(e + 4);
      if (key && !Matches(nameField, *key)) continue;
      *isDir = (dataField & 0x80000000u) != 0;
      return dataField & 0x7FFFFFFFu;
    }
    return std::nullopt;
  }

  void Check(uint64_t offset, uint64_t length) {
    if (offset > size_ || length > size_ - offset) Damaged("resource tree outside its section");
  }

 private:
  bool Matches(uint32_t nameField, const Key& key) {
    if (!(nameField & 0x80000000u)) return key.isId && key.id == nameField;
    if (key.isId) return false;
    uint32_t at = nameField & 0x7FFFFFFFu;
    Check(at, 2);
    uint16_t len = img_.U16(base_ + at);
    Check(at + 2, static_cast<uint64_t>(len) * 2);
    if (len != key.name.size()) return false;
    for (uint16_t i = 0; i < len; ++i) {
      char16_t c = img_.U16(base_ + at + 2 + i * 2);
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
      if (c != key.name[i]) return false;
    }
    return true;
  }

  PeImage& img_;
  int64_t base_;
  uint32_t size_;
};

}  // namespace

bool IsPeFile(TStream& file) {
  try {
    PeImage img(file);
    return img.Load();
  } catch (const OrvaError&) {
    return false;
  }
}

std::optional<PeResourceLocation> FindPeResource(TStream& file, std::string_view name, std::string_view type) {
  PeImage img(file);
  if (!img.Load()) throw OrvaError::Utf8("not a Windows program file");
  if (img.resourceRva_ == 0 || img.resourceSize_ == 0) return std::nullopt;
  int64_t base = img.Offset(img.resourceRva_, 16);
  // The tree may be shorter than its declared size would reach; clamp to the
  // section so every check is against bytes that exist.
  uint32_t size = img.resourceSize_;
  if (base + size > img.Size()) size = static_cast<uint32_t>(img.Size() - base);
  ResourceTree tree(img, base, size);

  Key typeKey = MakeKey(type), nameKey = MakeKey(name);
  bool isDir = false;
  auto typeDir = tree.Child(0, &typeKey, &isDir);
  if (!typeDir || !isDir) return std::nullopt;
  auto nameDir = tree.Child(*typeDir, &nameKey, &isDir);
  if (!nameDir) return std::nullopt;
  uint32_t dataEntry = *nameDir;
  if (isDir) {
    auto lang = tree.Child(*nameDir, nullptr, &isDir);
    if (!lang || isDir) return std::nullopt;
    dataEntry = *lang;
  }
  tree.Check(dataEntry, 16);
  uint32_t dataRva = img.U32(base + dataEntry);
  uint32_t dataSize = img.U32(base + dataEntry + 4);
  PeResourceLocation loc;
  loc.size = dataSize;
  loc.offset = dataSize == 0 ? 0 : img.Offset(dataRva, dataSize);
  return loc;
}

std::vector<uint8_t> BuildPeWithResource(std::string_view name, std::string_view type,
                                         const std::vector<uint8_t>& data) {
  // Layout: DOS header (0x40) | PE header + optional header (PE32, 16 data
  // directories) | one section table entry | .rsrc section at 0x200.
  constexpr uint32_t kPe = 0x40, kOpt = kPe + 24, kOptSize = 224, kTable = kOpt + kOptSize;
  constexpr uint32_t kRaw = 0x200, kVa = 0x1000;

  // Resource tree: three directories with one entry each, two name strings,
  // the data entry, then the data.
  std::vector<uint8_t> rs;
  auto put16 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
  };
  auto put32 = [&](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    put16(v, at, x & 0xFFFF);
    put16(v, at + 2, x >> 16);
  };
  const uint32_t dirType = 0, dirName = 24, dirLang = 48, strings = 72;
  auto upper = [](std::string_view s) {
    std::u16string u;
    for (unsigned char c : s) u.push_back(static_cast<char16_t>((c >= 'a' && c <= 'z') ? c - 32 : c));
    return u;
  };
  std::u16string typeU = upper(type), nameU = upper(name);
  uint32_t typeStr = strings;
  uint32_t nameStr = typeStr + 2 + static_cast<uint32_t>(typeU.size()) * 2;
  uint32_t dataEntry = (nameStr + 2 + static_cast<uint32_t>(nameU.size()) * 2 + 3) & ~3u;
  uint32_t dataAt = dataEntry + 16;
  rs.assign(dataAt + data.size(), 0);
  auto dir = [&](uint32_t at, uint32_t nameField, uint32_t target) {
    put16(rs, at + 12, (nameField & 0x80000000u) ? 1 : 0);
    put16(rs, at + 14, (nameField & 0x80000000u) ? 0 : 1);
    put32(rs, at + 16, nameField);
    put32(rs, at + 20, target);
  };
  dir(dirType, 0x80000000u | typeStr, 0x80000000u | dirName);
  dir(dirName, 0x80000000u | nameStr, 0x80000000u | dirLang);
  dir(dirLang, 0x411, dataEntry);
  auto str = [&](uint32_t at, const std::u16string& s) {
    put16(rs, at, static_cast<uint32_t>(s.size()));
    for (size_t i = 0; i < s.size(); ++i) put16(rs, at + 2 + i * 2, s[i]);
  };
  str(typeStr, typeU);
  str(nameStr, nameU);
  put32(rs, dataEntry, kVa + dataAt);
  put32(rs, dataEntry + 4, static_cast<uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), rs.begin() + dataAt);

  std::vector<uint8_t> pe(kRaw + rs.size(), 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  put32(pe, 0x3C, kPe);
  std::memcpy(pe.data() + kPe, "PE\0\0", 4);
  put16(pe, kPe + 4, 0x14C);       // i386
  put16(pe, kPe + 6, 1);           // one section
  put16(pe, kPe + 20, kOptSize);
  put16(pe, kPe + 22, 0x0102);     // executable, 32-bit
  put16(pe, kOpt, 0x10B);          // PE32
  put32(pe, kOpt + 92, 16);        // data directories
  put32(pe, kOpt + 96 + 2 * 8, kVa);
  put32(pe, kOpt + 96 + 2 * 8 + 4, static_cast<uint32_t>(rs.size()));
  std::memcpy(pe.data() + kTable, ".rsrc\0\0\0", 8);
  put32(pe, kTable + 8, static_cast<uint32_t>(rs.size()));
  put32(pe, kTable + 12, kVa);
  put32(pe, kTable + 16, static_cast<uint32_t>(rs.size()));
  put32(pe, kTable + 20, kRaw);
  std::copy(rs.begin(), rs.end(), pe.begin() + kRaw);
  return pe;
}

}  // namespace orva
