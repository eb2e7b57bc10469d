#include "tools/common/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <system_error>

namespace zdb {
namespace {

// The signal handler may only unlink and re-raise, so the pending paths live
// in fixed buffers it can read without allocating. A slot's flag is set only
// after its path is complete. The tools write from one thread.
constexpr int kSlots = 4;
char g_paths[kSlots][PATH_MAX];
volatile std::sig_atomic_t g_used[kSlots];

int Claim(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i]) continue;
    std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_used[i] = 1;
    return i;
  }
  return -1;
}

void Release(int slot) {
  if (slot >= 0) g_used[slot] = 0;
}

void OnSignal(int signal_number) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i]) ::unlink(g_paths[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

std::string Describe(std::string_view what, const std::filesystem::path& path, int code) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(code);
}

bool SyncFolder(const std::filesystem::path& folder, std::string* error) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    *error = Describe("cannot sync the folder", folder, errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

// Removes the temporary files named prefix + six characters that no run
// holds any more. A run holds its file's flock from creation to its end, so
// one that is still writing keeps its file.
void RemoveLeftovers(const std::filesystem::path& folder, const std::string& prefix) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 6) continue;
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(entry.path().c_str());
    }
    ::close(fd);
  }
}

// Locks a new temporary file for this run. False when another run's clean-up
// removed it before the lock was had (it held the lock while removing it).
bool LockNew(const std::string& path, int* lock_fd) {
  *lock_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (*lock_fd >= 0 && ::flock(*lock_fd, LOCK_EX) == 0 && ::fstat(*lock_fd, &st) == 0 &&
      st.st_nlink > 0) {
    return true;
  }
  if (*lock_fd >= 0) ::close(*lock_fd);
  *lock_fd = -1;
  return false;
}

mode_t DefaultMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::unique_ptr<PendingFile> PendingFile::Create(const std::filesystem::path& target,
                                                 std::string* error) {
  // Only a regular file is replaced: renaming over a device, a pipe or a link
  // would swap the thing itself for a file (as root, /dev/null too).
  struct stat existing;
  if (::lstat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    *error = target.string() + " exists and is not a regular file; not replacing it";
    return nullptr;
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A hidden name that says what it will become.
  std::string prefix = ".";
  prefix += target.filename().string();
  prefix += ".tmp-";
  RemoveLeftovers(folder, prefix);
  for (int attempt = 0;; ++attempt) {
    std::string pattern = (folder / (prefix + "XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      *error = Describe("cannot create a temporary file in", folder, errno);
      return nullptr;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    int lock_fd = -1;
    if (!LockNew(pattern, &lock_fd)) {
      ::close(fd);
      ::unlink(pattern.c_str());
      if (attempt < 3) continue;
      *error = Describe("cannot lock a temporary file in", folder, errno);
      return nullptr;
    }
    const int slot = Claim(pattern);
    return std::unique_ptr<PendingFile>(new PendingFile(target, pattern, fd, lock_fd, slot));
  }
}

PendingFile::PendingFile(std::filesystem::path target, std::filesystem::path path, int fd,
                         int lock_fd, int slot)
    : target_(std::move(target)), path_(std::move(path)), fd_(fd), lock_fd_(lock_fd), slot_(slot) {}

PendingFile::~PendingFile() {
  CloseDescriptor();
  if (!committed_) ::unlink(path_.c_str());
  // Last: like fd_, closed only once no other library has the file open.
  ::close(lock_fd_);
  Release(slot_);
}

bool PendingFile::Write(std::string_view data, std::string* error) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Describe("cannot write", path_, errno);
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void PendingFile::CloseDescriptor() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PendingFile::Commit(std::string* error) {
  CloseDescriptor();
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Describe("cannot reopen", path_, errno);
    return false;
  }
  struct stat st {};
  const mode_t mode = ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : DefaultMode();
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
    *error = Describe("cannot sync", path_, errno);
    ::close(fd);
    return false;
  }
  ::close(fd);
  if (::rename(path_.c_str(), target_.c_str()) != 0) {
    *error = Describe("cannot replace", target_, errno);
    return false;
  }
  committed_ = true;
  Release(slot_);
  slot_ = -1;
  std::filesystem::path folder = target_.parent_path();
  return SyncFolder(folder.empty() ? "." : folder, error);
}

void RemovePendingFilesOnSignals() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    std::signal(signal_number, OnSignal);
  }
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace zdb
