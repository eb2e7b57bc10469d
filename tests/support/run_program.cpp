#include "tests/support/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/fixture_db.h"

namespace zorvane_test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

}  // namespace

void WriteText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

AsNobody::AsNobody() {
  if (geteuid() != 0) return;
  if (setegid(kNogroup) != 0 || seteuid(kNobody) != 0) {
    throw std::runtime_error(std::string("seteuid: ") + std::strerror(errno));
  }
  switched_ = true;
}

AsNobody::~AsNobody() {
  if (switched_) {
    (void)seteuid(0);
    (void)setegid(0);
  }
}

Run RunProgram(const std::string& program, const std::vector<std::string>& args,
               const RunOptions& options) {
  TempDir dir;
  WriteText(dir / "stdin", options.stdin_text);
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    // Opened before the user changes: the folder belongs to this user.
    const int in = open((dir / "stdin").c_str(), O_RDONLY);
    const int out = options.stdout_fd >= 0
                        ? options.stdout_fd
                        : open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(127);
    }
    if (options.file_size_limit != 0) {
      const rlimit limit{options.file_size_limit, options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    if (options.as_nobody && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0)) {
      _exit(127);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
  }
  Run run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (options.stdout_fd < 0) run.out = ReadBytes(dir / "stdout");
  run.err = ReadBytes(dir / "stderr");
  return run;
}

}  // namespace zorvane_test
