// Runs that write into one folder take turns there.
//
// Every temporary the program makes sits in its target's folder, and is
// made, renamed or removed only while the program holds an advisory lock
// (flock) on that folder. Two runs writing the same outputs therefore
// replace them one set after the other, never interleaved; and a run that
// takes a folder's lock afresh knows that every temporary it finds there is
// a leftover of a writer that was killed, and removes it.
//
// The locks are counted per process: a thread that already holds a folder
// (a set of files staged there) takes it again at no cost. A folder that
// cannot be opened for reading is written without a lock.
#ifndef RFSPLITTER_FILES_FOLDER_LOCK_H_
#define RFSPLITTER_FILES_FOLDER_LOCK_H_

#include <filesystem>
#include <string_view>

namespace rfsplitter {

class FolderLock {
 public:
  FolderLock() = default;
  // Takes the lock of `folder` (the current one when empty), waiting for
  // another process that holds it.
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  bool held() const { return held_; }

 private:
  void Release();

  bool held_ = false;
  unsigned long long device_ = 0, inode_ = 0;
};

// The mark every temporary's name carries: ".NAME.rfsplitter-XXXXXX", and
// a replaced file's keepsake during a set's renames, the same with ".old".
inline constexpr std::string_view kTemporaryMark = ".rfsplitter-";
bool IsTemporaryName(std::string_view name);

}  // namespace rfsplitter

#endif  // RFSPLITTER_FILES_FOLDER_LOCK_H_
