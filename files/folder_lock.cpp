#include "files/folder_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace rfsplitter {
namespace {

struct HeldFolder {
  unsigned long long device, inode;
  int fd;
  int count;
};

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<HeldFolder>& Registry() {
  static std::vector<HeldFolder> held;
  return held;
}

HeldFolder* Find(unsigned long long device, unsigned long long inode) {
  for (HeldFolder& h : Registry()) {
    if (h.device == device && h.inode == inode) return &h;
  }
  return nullptr;
}

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Removes what killed writers left in the folder: temporaries and
// keepsakes of this user's, regular files only. Called with the folder's
// lock just taken, when no living writer can have one there.
void RemoveLeftovers(int folder_fd) {
  const int listing = ::dup(folder_fd);
  if (listing < 0) return;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return;
  }
  std::vector<std::string> doomed;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat s {};
    if (::fstatat(folder_fd, entry->d_name, &s, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(s.st_mode) && s.st_uid == ::geteuid()) doomed.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : doomed) ::unlinkat(folder_fd, name.c_str(), 0);
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  if (name.size() > 4 && name.substr(name.size() - 4) == ".old") name.remove_suffix(4);
  const size_t tail = kTemporaryMark.size() + 6;
  if (name.size() < tail + 2 || name[0] != '.') return false;
  if (name.substr(name.size() - tail, kTemporaryMark.size()) != kTemporaryMark) return false;
  for (size_t i = name.size() - 6; i < name.size(); ++i) {
    if (!IsAlnum(name[i])) return false;
  }
  return true;
}

FolderLock::FolderLock(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat s {};
  if (::fstat(fd, &s) != 0) {
    ::close(fd);
    return;
  }
  device_ = s.st_dev;
  inode_ = s.st_ino;
  {
    const std::lock_guard guard(RegistryMutex());
    if (HeldFolder* h = Find(device_, inode_)) {
      ++h->count;
      held_ = true;
      ::close(fd);
      return;
    }
  }
  // Waits outside the registry: another thread of this process that holds
  // the folder must be able to let it go. (Two threads of one process that
  // take a folder afresh at once wait for each other through flock.)
  int locked;
  while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    ::close(fd);
    return;
  }
  const std::lock_guard guard(RegistryMutex());
  if (HeldFolder* h = Find(device_, inode_)) {
    ++h->count;
    ::close(fd);
  } else {
    RemoveLeftovers(fd);
    Registry().push_back({device_, inode_, fd, 1});
  }
  held_ = true;
}

FolderLock::~FolderLock() { Release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept
    : held_(other.held_), device_(other.device_), inode_(other.inode_) {
  other.held_ = false;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    held_ = other.held_;
    device_ = other.device_;
    inode_ = other.inode_;
    other.held_ = false;
  }
  return *this;
}

void FolderLock::Release() {
  if (!held_) return;
  held_ = false;
  const std::lock_guard guard(RegistryMutex());
  std::vector<HeldFolder>& registry = Registry();
  for (size_t i = 0; i < registry.size(); ++i) {
    if (registry[i].device != device_ || registry[i].inode != inode_) continue;
    if (--registry[i].count == 0) {
      ::close(registry[i].fd);  // lets the flock go
      registry.erase(registry.begin() + std::ptrdiff_t(i));
    }
    return;
  }
}

}  // namespace rfsplitter
