// A fresh, uniquely named directory for one test, removed with everything in
// it when the test is done.
#ifndef RFSPLITTER_ENGINE_TESTS_SCRATCH_DIRECTORY_H_
#define RFSPLITTER_ENGINE_TESTS_SCRATCH_DIRECTORY_H_

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace rfsplitter {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string name = (std::filesystem::temp_directory_path() / "rfsplitter-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = name;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_TESTS_SCRATCH_DIRECTORY_H_
