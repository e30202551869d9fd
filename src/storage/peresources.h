// A bounds-checked reader of resources in Windows program files (PE32 and
// PE32+), so that content carried in a game's ".exe" as a resource can be
// mounted on Linux. Every offset, count and size is checked against the
// file; a damaged file yields an OrvaError, never a read out of bounds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/streams.h"

namespace orva {

struct PeResourceLocation {
  int64_t offset = 0;  // file offset of the resource data
  int64_t size = 0;
};

// True when the stream starts with "MZ" and holds a "PE\0\0" header.
bool IsPeFile(TStream& file);

// Finds the resource of the given type and name (string names compare
// case-insensitively; "#123" means the numeric id 123), taking the first
// language. Nothing when the file has no such resource; throws when the file
// is not a PE file or its resource tree is damaged.
std::optional<PeResourceLocation> FindPeResource(TStream& file, std::string_view name, std::string_view type);

// A minimal PE32 program file holding one resource (type, name, language
// 0x411) with the given data: the writer side of the reader, used by tests and
// to seed fuzzing.
std::vector<uint8_t> BuildPeWithResource(std::string_view name, std::string_view type,
                                         const std::vector<uint8_t>& data);

}  // namespace orva
