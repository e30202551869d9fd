// Pictures of any kind loaded through the picture cache: decoded by the
// extension the first byte chooses, trimmed and masked as its low bits say,
// then released, restored and reloaded in place. The rest of the input is
// the file.
#include <cstdint>
#include <string>
#include <vector>

#include "common/errors.h"
#include "components/vorncollection.h"
#include "imaging/dibx.h"
#include "storage/vrfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool limited = (orva::SetSurfaceByteLimit(int64_t{4} << 20), true);
  (void)limited;
  static orva::TVrFileManager files([] {
    orva::TVrFileManager::Options o;
    o.cdRoots = std::vector<std::string>{};
    return o;
  }());
  if (size < 1) return 0;
  static const char* const kNames[8] = {"p.vor", "p.png", "p.bmp", "p.gif", "p.jpg", "p.dib", "p.jpeg", "p.txt"};
  const uint8_t flags = data[0];
  const std::string name = kNames[(flags >> 2) & 7];
  orva::TMxMemoryStream& entry = files.MemoryCollection().AddMemoryEntry(name);
  entry.WriteExact(data + 1, static_cast<int64_t>(size - 1));
  orva::TVornCollection cache(files, (flags & 0x20) ? 12345 : 0);
  int user = 0;
  try {
    orva::TVornHandle picture(cache, &user, name, (flags & 1) != 0, (flags & 2) != 0);
    orva::TVornHandle again = picture.Share(&cache);
    cache.ReleaseSurfaces();
    cache.RestoreSurfaces();
    cache.SetQuality(true);
  } catch (const orva::OrvaError&) {
  }
  files.MemoryCollection().DeleteEntry(name);
  return 0;
}
