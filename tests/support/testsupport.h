// Small helpers shared by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva {
class TStream;
}

namespace orvatest {

// A private folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + rel
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadFile(const std::string& path);
std::vector<uint8_t> Bytes(const std::string& s);
// Deterministic pseudo-random bytes (compressible when `compressible`).
std::vector<uint8_t> SampleBytes(size_t n, uint32_t seed, bool compressible = true);
// Every byte of a stream, read from position 0.
std::string ReadAll(orva::TStream& s);
// Runs a shell command, returns its exit status; output goes to *out.
int RunCommand(const std::string& command, std::string* out = nullptr);

}  // namespace orvatest
