// The real command-line program as a child process, and what it leaves in
// a folder: for the tests that judge the program as its users meet it.
#ifndef RFSPLITTER_CLI_TESTS_PROGRAM_RUNNER_H_
#define RFSPLITTER_CLI_TESTS_PROGRAM_RUNNER_H_

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace rfsplitter {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // the exit status, or -1 when killed by a signal
  std::string out, err;
};

inline std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

// Starts the program with `args` in `directory`, its standard output going
// to `stdout_path` and standard error to `stderr_path`; `in_child` runs in
// the child just before the program (limits, another user).
inline pid_t Start(const std::vector<std::string>& args, const fs::path& directory,
                   const char* stdout_path = "/dev/null", const char* stderr_path = "/dev/null",
                   const std::function<void()>& in_child = {}) {
  std::vector<char*> argv;
  std::string program = RFSPLITTER_CLI;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(directory.c_str()) != 0) _exit(127);
    const int out = open(stdout_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(stderr_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(127);
    dup2(out, 1);
    dup2(err, 2);
    if (in_child) in_child();
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

inline int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// Runs the program in `directory`; as root, a permission test runs it as
// nobody, since root may search any directory.
inline Outcome RunProgram(const std::vector<std::string>& args, const fs::path& directory,
                          bool unprivileged = false, const std::function<void()>& in_child = {}) {
  const fs::path out = directory / ".out", err = directory / ".err";
  const int status = Wait(Start(args, directory, out.c_str(), err.c_str(), [&] {
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
    if (in_child) in_child();
  }));
  Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(out), Read(err)};
  fs::remove(out);
  fs::remove(err);
  return outcome;
}

// Every regular file under `directory` with the size and a hash of its
// bytes, and the names of anything else.
inline std::map<std::string, std::string> Snapshot(const fs::path& directory) {
  std::map<std::string, std::string> files;
  for (const auto& entry :
       fs::recursive_directory_iterator(directory, fs::directory_options::skip_permission_denied)) {
    const std::string name = fs::relative(entry.path(), directory).string();
    if (!entry.is_regular_file() || entry.is_symlink()) {
      files[name] = "(other)";
      continue;
    }
    const std::string text = Read(entry.path());
    files[name] = std::to_string(text.size()) + " bytes, hash " +
                  std::to_string(std::hash<std::string>()(text));
  }
  return files;
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_CLI_TESTS_PROGRAM_RUNNER_H_
