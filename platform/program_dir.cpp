#include "platform/program_dir.h"

#include <filesystem>
#include <system_error>

std::string ProgramDirectory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return ".";
  return exe.parent_path().string();
}
