// One running copy per game folder: an exclusive flock on a lock file named
// after the folder. The lock goes with the process, so a crashed copy never
// leaves a stale lock behind.
#pragma once

#include <memory>
#include <string>

namespace orva::platform {

// The lock file's name for a game folder: the folder upper-cased (ASCII),
// with a trailing "/" added and every "/" replaced by "-"; a name too long
// for a file name is shortened to its start plus a hash of the whole.
std::string InstanceLockName(const std::string& gameFolder);

class SingleInstanceLock {
 public:
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // Takes the lock for `gameFolder` in `lockFolder`. Nothing when another
  // copy holds it. Throws OrvaError when the lock file cannot be made.
  static std::unique_ptr<SingleInstanceLock> Acquire(const std::string& gameFolder, const std::string& lockFolder);

  const std::string& Path() const { return path_; }

 private:
  SingleInstanceLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

}  // namespace orva::platform
