// Every file the program writes is written whole or not at all.
//
// The text goes to a hidden temporary file (".NAME.rfsplitter-XXXXXX", created
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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files/folder_lock.h"

namespace rfsplitter {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // an uncommitted temporary is removed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Checks the target and creates the temporary beside it. A target whose
  // name leaves no room for the temporary's marks gets a temporary with a
  // shortened name.
  bool Open(const std::filesystem::path& target);
  bool Write(std::string_view text);
  // Closes the temporary, then renames it over the target.
  bool Commit() { return Close() && Replace(); }
  // The two halves of Commit, for a set of files that are all written
  // before any of them replaces its target.
  bool Close();
  bool Replace();
  // Removes the temporary; the target stays as it was.
  void Discard();

  // Why the last step failed: "cannot create the file: No such file or
  // directory". Empty while nothing has failed.
  const std::string& FailureReason() const { return failure_; }
  // The temporary's path while there is one.
  const std::filesystem::path& temporary() const { return temporary_; }

 private:
  bool Fail(std::string what, int error);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  unsigned mode_ = 0;
  std::unique_ptr<FolderLock> lock_;
  std::string failure_;
};

// Writes `text` to `target` as one AtomicFile. Returns the failure reason,
// or an empty text when the file was written.
std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view text);

// Why `target` could not be written, as far as can be told without writing:
// the checks of AtomicFile::Open, a directory that is missing, not a
// directory or not writable, a name longer than the file system takes.
// Empty when nothing stands in the way.
std::string CheckWritable(const std::filesystem::path& target);

// Several files written as one set: every text is written and closed in its
// temporary first, and only then do the temporaries replace their targets,
// one after another, each replaced file kept until the last rename is done.
// A failure while writing leaves every target as it was; a rename that
// fails (rare: they need no space) puts back the files already replaced.
// The set holds its folders' locks (folder_lock.h) from its first file to
// the end of its renames, so that two runs writing the same names replace
// them one whole set after the other. Only a kill during the renames can
// leave some targets new and some old, each of them whole.
class FileSet {
 public:
  FileSet();
  ~FileSet();
  // Takes the locks of the folders of `targets` at once, in the one order
  // every run takes them in; for a set whose files go to several folders.
  void Lock(const std::vector<std::filesystem::path>& targets);
  // Writes `text` to a temporary for `target`. False when it cannot; every
  // temporary of the set is then removed.
  bool Stage(const std::filesystem::path& target, std::string_view text);
  // Replaces the targets. False at the first rename that fails, with the
  // targets already replaced put back.
  bool Commit();

  const std::vector<std::filesystem::path>& Replaced() const { return replaced_; }
  // The file and the reason of the failure.
  const std::filesystem::path& FailedPath() const { return failed_path_; }
  const std::string& FailureReason() const { return failure_; }

 private:
  std::vector<std::unique_ptr<AtomicFile>> files_;
  std::vector<std::filesystem::path> targets_;
  std::vector<std::filesystem::path> replaced_;
  std::vector<FolderLock> locks_;
  std::filesystem::path failed_path_;
  std::string failure_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_FILES_ATOMIC_FILE_H_
