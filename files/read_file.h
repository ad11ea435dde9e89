// Reading a small input file the user names (a parts file): only a regular
// file, only up to a size, never blocking on a pipe or a device, every error
// caught and told with the system's reason.
#ifndef RFSPLITTER_FILES_READ_FILE_H_
#define RFSPLITTER_FILES_READ_FILE_H_

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace rfsplitter {

inline constexpr size_t kLargestInputFile = size_t{16} << 20;  // 16 MB

// The file's text, or nothing with `reason` set ("is a directory", "is
// larger than 16 MB", "cannot read it: Input/output error").
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::string& reason,
                                         size_t largest = kLargestInputFile);

}  // namespace rfsplitter

#endif  // RFSPLITTER_FILES_READ_FILE_H_
