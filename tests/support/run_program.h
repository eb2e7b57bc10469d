// Files and programs for tests: whole files written and read back, and a
// built program run as a separate process with its output captured, also
// as an unprivileged user.
//
// Every function throws std::runtime_error when it cannot do its work, which
// a test reports as a failure.
#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane_test {

void WriteText(const std::filesystem::path& path, std::string_view text);
std::string ReadBytes(const std::filesystem::path& path);

struct Run {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string stdin_text{};    // what standard input holds (a file)
  int stdout_fd = -1;          // standard output, instead of capturing it
  rlim_t file_size_limit = 0;  // RLIMIT_FSIZE for the program, when not 0
  // As the user and group "nobody" when this process runs as root, so that
  // file permissions apply to the program.
  bool as_nobody = false;
};

// While it lives, this process's effective user and group are "nobody" when
// it runs as root (file permissions then apply to it); otherwise nothing.
class AsNobody {
 public:
  AsNobody();
  ~AsNobody();
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;

 private:
  bool switched_ = false;
};

// Runs the program with the arguments and waits for it.
Run RunProgram(const std::string& program, const std::vector<std::string>& args,
               const RunOptions& options = {});

}  // namespace zorvane_test
