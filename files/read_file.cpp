#include "files/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace rfsplitter {
namespace {

std::string SystemReason(const char* what, int error) {
  return std::string(what) + ": " + std::system_category().message(error);
}

// Closes the descriptor however the read ends.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::string& reason,
                                         size_t largest) {
  // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) {
    reason = SystemReason("cannot open it", errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) {
    reason = SystemReason("cannot read it", errno);
    return std::nullopt;
  }
  if (S_ISDIR(st.st_mode)) {
    reason = "is a directory";
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = "is not a regular file";
    return std::nullopt;
  }
  if (size_t(st.st_size) > largest) {
    reason = "is larger than " + std::to_string(largest >> 20) + " MB";
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      reason = SystemReason("cannot read it", errno);
      return std::nullopt;
    }
    if (got == 0) break;
    // A file that grows while it is read stops at the limit too.
    if (text.size() + size_t(got) > largest) {
      reason = "is larger than " + std::to_string(largest >> 20) + " MB";
      return std::nullopt;
    }
    text.append(buffer, size_t(got));
  }
  return text;
}

}  // namespace rfsplitter
