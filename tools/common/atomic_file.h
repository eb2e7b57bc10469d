// Replacing a file in one step: the new contents go to a temporary file in
// the target's folder, and only a complete, synced file is renamed over the
// target. Until then the old file stays as it was; a run that fails or is
// interrupted by a signal leaves no temporary file behind. One killed
// outright (SIGKILL, a power cut) cannot remove its own; the next run for
// the same target does.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zdb {

class PendingFile {
 public:
  // Creates an empty temporary file beside `target` (same folder, so the
  // rename cannot cross file systems), after removing the temporary files
  // for `target` that killed runs left there.
  static std::unique_ptr<PendingFile> Create(const std::filesystem::path& target,
                                             std::string* error);
  ~PendingFile();  // removes the temporary file unless it was committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes through the file's own descriptor.
  bool Write(std::string_view data, std::string* error);
  // Closes the descriptor, so that another library (SQLite) can own the file;
  // closing ours later could drop that library's locks.
  void CloseDescriptor();

  // Syncs the file, gives it the target's permissions (or the default ones
  // for a new file), renames it over the target and syncs the folder.
  bool Commit(std::string* error);

 private:
  PendingFile(std::filesystem::path target, std::filesystem::path path, int fd, int lock_fd,
              int slot);

  std::filesystem::path target_;
  std::filesystem::path path_;
  int fd_;
  // Holds an exclusive flock on the temporary file for the whole run; the
  // system drops it with the process, which marks a file as left over.
  int lock_fd_;
  int slot_;  // in the signal handler's list of files to remove
  bool committed_ = false;
};

// Installs handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT that remove every
// pending temporary file and then end the process as the signal would.
void RemovePendingFilesOnSignals();

// True when the two paths name the same existing file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace zdb
