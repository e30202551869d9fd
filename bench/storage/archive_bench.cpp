// Reading archive entries through the file manager, against plain zlib and
// plain read() on the same bytes in the same run.
//
//   scripts/build bench && build/bench/bench/storage/bench_storage
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "storage/archives.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEntries = 100;
constexpr size_t kEntrySize = 2 * 1024 * 1024;  // 100 x 2 MiB = 200 MiB, each below the compression limit
constexpr size_t kStoredSize = 100 * 1024 * 1024;

// Text-like bytes: compressible, but not trivially so.
std::vector<uint8_t> Compressible(size_t n, uint32_t seed) {
  static const char* words[] = {"the ", "script ", "page ", "window ", "message ", "button ", "picture ", "sound ",
                                "\x82\xa0", "\x82\xa2", "\x83\x5c", "\r\n", "variable ", "flag ", "0123 ", "end "};
  std::vector<uint8_t> out;
  out.reserve(n + 16);
  uint32_t x = seed | 1;
  while (out.size() < n) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    const char* w = words[x % 16];
    out.insert(out.end(), w, w + std::strlen(w));
    if ((x >> 8) % 7 == 0) out.push_back(static_cast<uint8_t>(x >> 16));
  }
  out.resize(n);
  return out;
}

struct Fixture {
  std::string dir;
  std::string compressedArchive, storedArchive;
  std::vector<std::vector<uint8_t>> packed;  // the same compressed bytes, for the peer
  int64_t storedOffset = 0;

  Fixture() {
    std::string templ = (fs::temp_directory_path() / "orvabench-XXXXXX").string();
    dir = mkdtemp(templ.data());
    compressedArchive = dir + "/compressed.dat";
    storedArchive = dir + "/stored.dat";
    std::vector<orva::ArchiveSource> sources(kEntries);
    for (int i = 0; i < kEntries; ++i) {
      sources[static_cast<size_t>(i)].name = "entry" + std::to_string(i) + ".txt";
      sources[static_cast<size_t>(i)].data = Compressible(kEntrySize, static_cast<uint32_t>(i + 1));
    }
    orva::WriteArchiveFile(compressedArchive, sources, orva::ArchiveWriteOptions{});
    auto c = orva::TVrFileCollection::Open(compressedArchive);
    for (int i = 0; i < kEntries; ++i) packed.push_back(c->ReadStoredBytes(c->Files().At(i)));

    std::vector<orva::ArchiveSource> big(1);
    big[0].name = "movie.mpg";
    big[0].data = Compressible(kStoredSize, 99);  // over the limit: stored
    orva::WriteArchiveFile(storedArchive, big, orva::ArchiveWriteOptions{});
    auto s = orva::TVrFileCollection::Open(storedArchive);
    storedOffset = s->Files().At(0).offset;
  }
  ~Fixture() { fs::remove_all(dir); }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void BM_LoadEntry(benchmark::State& state) {
  orva::TVrFileManager files;
  files.MountArchive(F().compressedArchive);
  orva::TMxMemoryStream out;
  for (auto _ : state) {
    for (int i = 0; i < kEntries; ++i) {
      files.LoadEntry(out, "entry" + std::to_string(i) + ".txt");
      benchmark::DoNotOptimize(out.Memory());
    }
  }
  state.SetBytesProcessed(state.iterations() * kEntries * static_cast<int64_t>(kEntrySize));
}

// The peer: the same compressed bytes read from the file with pread() and
// inflated with zlib's uncompress() into a buffer of the known size.
void BM_PlainZlibInflate(benchmark::State& state) {
  auto& f = F();
  auto c = orva::TVrFileCollection::Open(f.compressedArchive);
  int fd = ::open(f.compressedArchive.c_str(), O_RDONLY);
  std::vector<uint8_t> in, out(kEntrySize);
  for (auto _ : state) {
    for (int i = 0; i < kEntries; ++i) {
      const auto& e = c->Files().At(i);
      in.resize(static_cast<size_t>(e.size));
      if (::pread(fd, in.data(), in.size(), e.offset) != static_cast<ssize_t>(in.size())) state.SkipWithError("read");
      uLongf len = static_cast<uLongf>(out.size());
      if (uncompress(out.data(), &len, in.data(), static_cast<uLong>(in.size())) != Z_OK) state.SkipWithError("zlib");
      benchmark::DoNotOptimize(out.data());
    }
  }
  ::close(fd);
  state.SetBytesProcessed(state.iterations() * kEntries * static_cast<int64_t>(kEntrySize));
}

void BM_RangeStreamRead(benchmark::State& state) {
  orva::TVrFileManager files;
  files.MountArchive(F().storedArchive);
  std::vector<uint8_t> buf(64 * 1024);
  for (auto _ : state) {
    auto r = files.OpenRangeStream("movie.mpg");
    int64_t total = 0;
    for (;;) {
      int64_t n = r->Read(buf.data(), static_cast<int64_t>(buf.size()));
      if (n <= 0) break;
      total += n;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kStoredSize));
}

// The peer: read() of the same bytes in the same block size.
void BM_PlainRead(benchmark::State& state) {
  std::vector<uint8_t> buf(64 * 1024);
  for (auto _ : state) {
    int fd = ::open(F().storedArchive.c_str(), O_RDONLY);
    ::lseek(fd, F().storedOffset, SEEK_SET);
    int64_t total = 0;
    while (total < static_cast<int64_t>(kStoredSize)) {
      ssize_t n = ::read(fd, buf.data(), std::min<size_t>(buf.size(), kStoredSize - static_cast<size_t>(total)));
      if (n <= 0) break;
      total += n;
    }
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kStoredSize));
}

BENCHMARK(BM_LoadEntry)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_PlainZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_RangeStreamRead)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
