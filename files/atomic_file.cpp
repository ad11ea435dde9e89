#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <tuple>

#include "files/folder_lock.h"

namespace rfsplitter {
namespace {

// The mode a new file would get; the umask can only be read by setting it,
// so it is read once.
mode_t NewFileMode() {
  static mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

// The longest file name the directory's file system takes.
size_t NameLimit(const std::filesystem::path& directory) {
  const long limit = ::pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
  return limit > 16 ? size_t(limit) : 255;
}

std::string Reason(const char* what, int error) {
  std::string text = what;
  if (error != 0) text += ": " + std::system_category().message(error);
  return text;
}

// In a folder with the sticky bit (/tmp, a shared drop folder) only the
// owner of a file, of the folder or root may replace it; the rename would
// fail after every other file of a set had been replaced.
bool GuardedBySticky(const std::filesystem::path& target, const struct stat& existing) {
  const uid_t me = ::geteuid();
  if (me == 0 || existing.st_uid == me) return false;
  const std::filesystem::path directory = target.parent_path();
  struct stat folder {};
  if (::stat(directory.empty() ? "." : directory.c_str(), &folder) != 0) return false;
  return (folder.st_mode & S_ISVTX) != 0 && folder.st_uid != me;
}

constexpr const char* kStickyReason =
    "the file belongs to another user in a folder where only a file's owner may replace it";

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(const std::filesystem::path& target) {
  Discard();
  failure_.clear();
  target_ = target;
  mode_ = NewFileMode();

  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0) {
    if (S_ISLNK(existing.st_mode)) {
      return Fail("the name is a symbolic link, which is not followed", 0);
    }
    if (!S_ISREG(existing.st_mode)) return Fail("the name is not a regular file", 0);
    // Checked on the mode bits rather than with access(): root may write
    // anywhere, but a file its owner made read-only is not to be replaced.
    if ((existing.st_mode & 0222) == 0) return Fail("the file is read-only", 0);
    if (GuardedBySticky(target, existing)) return Fail(kStickyReason, 0);
    mode_ = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    return Fail("cannot create the file", errno);
  }

  const std::filesystem::path directory = target.parent_path();
  // "." + name + ".rfsplitter-XXXXXX" and its keepsake's ".old" must fit
  // the file system's name limit too.
  std::string name = target.filename().string();
  const size_t room = NameLimit(directory) - (1 + kTemporaryMark.size() + 6 + 4);
  if (name.size() > room) name.resize(room);
  std::string pattern =
      (directory / ("." + name + std::string(kTemporaryMark) + "XXXXXX")).string();
  lock_ = std::make_unique<FolderLock>(directory);
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) return Fail("cannot create the file", errno);
  temporary_ = pattern;
  if (::fchmod(fd_, mode_) != 0) return Fail("cannot create the file", errno);
  return true;
}

bool AtomicFile::Write(std::string_view text) {
  if (fd_ < 0) return false;
  while (!text.empty()) {
    const ssize_t written = ::write(fd_, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail("cannot write the file", errno);
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool AtomicFile::Close() {
  if (fd_ < 0) return false;
  // No fsync: it cost about 0.4 ms a file here (a checking run writes four),
  // and a kill or a failure cannot break the target without it. What it
  // would add, the data surviving a power cut in the seconds after the
  // rename, ext4, XFS and btrfs already give a file replaced by rename.
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("cannot write the file", errno);
  return true;
}

bool AtomicFile::Replace() {
  if (fd_ >= 0 || temporary_.empty()) return false;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    return Fail("cannot replace the file", errno);
  }
  temporary_.clear();
  lock_.reset();
  return true;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  lock_.reset();
}

bool AtomicFile::Fail(std::string what, int error) {
  failure_ = Reason(what.c_str(), error);
  Discard();
  return false;
}

std::string CheckWritable(const std::filesystem::path& target) {
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0) {
    if (S_ISLNK(existing.st_mode)) return "the name is a symbolic link, which is not followed";
    if (!S_ISREG(existing.st_mode)) return "the name is not a regular file";
    if ((existing.st_mode & 0222) == 0) return "the file is read-only";
    if (GuardedBySticky(target, existing)) return kStickyReason;
  } else if (errno != ENOENT) {
    return Reason("cannot create the file", errno);
  }
  const std::filesystem::path directory = target.parent_path();
  const char* dir = directory.empty() ? "." : directory.c_str();
  struct stat folder {};
  if (::stat(dir, &folder) != 0) return Reason("cannot create the file", errno);
  if (!S_ISDIR(folder.st_mode)) return Reason("cannot create the file", ENOTDIR);
  if (::access(dir, W_OK | X_OK) != 0) return Reason("cannot create the file", errno);
  if (target.filename().string().size() > NameLimit(directory)) {
    return Reason("cannot create the file", ENAMETOOLONG);
  }
  return {};
}

FileSet::FileSet() = default;
FileSet::~FileSet() = default;

void FileSet::Lock(const std::vector<std::filesystem::path>& targets) {
  // Taken in one order (device, inode) by every run, so that two runs
  // writing into the same folders cannot each wait for the other.
  std::vector<std::tuple<dev_t, ino_t, std::filesystem::path>> folders;
  for (const std::filesystem::path& target : targets) {
    const std::filesystem::path folder = target.parent_path();
    struct stat s {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &s) != 0) continue;
    folders.emplace_back(s.st_dev, s.st_ino, folder);
  }
  std::sort(folders.begin(), folders.end());
  for (size_t i = 0; i < folders.size(); ++i) {
    if (i > 0 && std::get<0>(folders[i]) == std::get<0>(folders[i - 1]) &&
        std::get<1>(folders[i]) == std::get<1>(folders[i - 1])) {
      continue;
    }
    locks_.emplace_back(std::get<2>(folders[i]));
  }
}

bool FileSet::Stage(const std::filesystem::path& target, std::string_view text) {
  locks_.emplace_back(target.parent_path());
  auto file = std::make_unique<AtomicFile>();
  if (!(file->Open(target) && file->Write(text) && file->Close())) {
    failed_path_ = target;
    failure_ = file->FailureReason();
    files_.clear();
    targets_.clear();
    return false;
  }
  files_.push_back(std::move(file));
  targets_.push_back(target);
  return true;
}

bool FileSet::Commit() {
  // Each file a set replaces is kept (a second name for it, or a copy)
  // until the whole set is in place, so that a rename that fails puts
  // every earlier file back as it was.
  struct Kept {
    bool existed = false;
    std::filesystem::path keepsake;  // empty: none could be made
  };
  std::vector<Kept> kept(files_.size());
  for (size_t i = 0; i < files_.size(); ++i) {
    struct stat s {};
    kept[i].existed = ::lstat(targets_[i].c_str(), &s) == 0;
    if (!kept[i].existed) continue;
    const std::filesystem::path keepsake = files_[i]->temporary().string() + ".old";
    ::unlink(keepsake.c_str());
    std::error_code ignored;
    if (::link(targets_[i].c_str(), keepsake.c_str()) == 0 ||
        std::filesystem::copy_file(targets_[i], keepsake, ignored)) {
      kept[i].keepsake = keepsake;
    }
  }
  const auto drop_keepsakes = [&] {
    for (const Kept& k : kept) {
      if (!k.keepsake.empty()) ::unlink(k.keepsake.c_str());
    }
  };
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i]->Replace()) {
      replaced_.push_back(targets_[i]);
      continue;
    }
    failed_path_ = targets_[i];
    failure_ = files_[i]->FailureReason();
    // Back, last first: a file that was there returns, a new one goes.
    bool restored = true;
    for (size_t j = i; j-- > 0;) {
      const bool back = kept[j].existed
                            ? !kept[j].keepsake.empty() &&
                                  std::rename(kept[j].keepsake.c_str(), targets_[j].c_str()) == 0
                            : ::unlink(targets_[j].c_str()) == 0;
      if (back) {
        replaced_.erase(replaced_.begin() + std::ptrdiff_t(j));
      } else {
        restored = false;
      }
    }
    if (restored) failure_ += "; every earlier file is as it was";
    drop_keepsakes();
    files_.clear();
    targets_.clear();
    locks_.clear();
    return false;
  }
  drop_keepsakes();
  files_.clear();
  targets_.clear();
  locks_.clear();
  return true;
}

std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view text) {
  AtomicFile file;
  if (file.Open(target) && file.Write(text) && file.Commit()) return {};
  return file.FailureReason();
}

}  // namespace rfsplitter
