// Every file the program writes is written whole or not at all.
//
// The text goes to a hidden temporary file (".NAME.XXXXXX", created
// exclusively) in the target's own directory; only when all of it is written
// and closed does the temporary replace the target in one rename. A failed or
// interrupted write therefore leaves the earlier file untouched, and what a
// killed process leaves behind is a hidden temporary, never a file that looks
// like a result.
//
// The target is refused when it is a symbolic link (a link planted at an
// output's name must not redirect the write), not a regular file, or
// read-only. A replaced file keeps its mode; a new one gets the mode of any
// new file (0666 less the umask).
#ifndef RFSPLITTER_FILES_ATOMIC_FILE_H_
#define RFSPLITTER_FILES_ATOMIC_FILE_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace rfsplitter {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // an uncommitted temporary is removed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Checks the target and creates the temporary beside it.
  bool Open(const std::filesystem::path& target);
  bool Write(std::string_view text);
  // Closes the temporary, then renames it over the target.
  bool Commit();
  // Removes the temporary; the target stays as it was.
  void Discard();

  // Why the last step failed: "cannot create the file: No such file or
  // directory". Empty while nothing has failed.
  const std::string& FailureReason() const { return failure_; }

 private:
  bool Fail(std::string what, int error);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  unsigned mode_ = 0;
  std::string failure_;
};

// Writes `text` to `target` as one AtomicFile. Returns the failure reason,
// or an empty text when the file was written.
std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view text);

}  // namespace rfsplitter

#endif  // RFSPLITTER_FILES_ATOMIC_FILE_H_
