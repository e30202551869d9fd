#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/errors.h"

namespace orva::platform {

namespace {
// Leaves room for the prefix and the ".lock" suffix within a file name.
constexpr size_t kMaxNameBytes = 180;

uint64_t Fnv1a64(const std::string& s) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}
}  // namespace

std::string InstanceLockName(const std::string& gameFolder) {
  std::string name = gameFolder;
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  if (name.empty() || name.back() != '/') name += '/';
  for (char& c : name)
    if (c == '/') c = '-';
  if (name.size() > kMaxNameBytes) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a64(name)));
    // Cut at a character boundary of the UTF-8 text.
    size_t keep = kMaxNameBytes - 17;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name = name.substr(0, keep) + "~" + hash;
  }
  return name;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock; the file stays for the next start
}

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::Acquire(const std::string& gameFolder,
                                                                const std::string& lockFolder) {
  std::string path = lockFolder;
  if (path.empty() || path.back() != '/') path += '/';
  path += "orvaplayer" + InstanceLockName(gameFolder) + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw OrvaError::Utf8("cannot create the lock file " + path + ": " + std::strerror(errno));
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    if (err == EWOULDBLOCK) return nullptr;
    throw OrvaError::Utf8("cannot lock " + path + ": " + std::strerror(err));
  }
  return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd, path));
}

}  // namespace orva::platform
