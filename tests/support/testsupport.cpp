#include "testsupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/streams.h"

namespace orvatest {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "orvatest-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> SampleBytes(size_t n, uint32_t seed, bool compressible) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = compressible ? static_cast<uint8_t>("abcdefgh"[x % 8]) : static_cast<uint8_t>(x);
  }
  return out;
}

std::string ReadAll(orva::TStream& s) {
  std::string out(static_cast<size_t>(s.GetSize()), '\0');
  s.SetPosition(0);
  if (!out.empty()) s.ReadExact(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

int RunCommand(const std::string& command, std::string* out) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace orvatest
