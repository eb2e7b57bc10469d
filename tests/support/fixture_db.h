// Database files for tests: temporary folders and SQLite files in the
// provider's format, made the way the database builder makes them.
//
// Every function throws std::runtime_error when it cannot do its work, which
// a test reports as a failure.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/provider_file.h"

namespace zorvane_test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Creates `file` as a plain SQLite database and runs `sql` (UTF-8, any number
// of statements) in it.
void WriteSqliteDb(const std::filesystem::path& file, std::string_view sql);

// Creates `file` as a database the provider admits with `password`: the
// metadata table with the format and a fresh verifier, then `sql` for the
// tables the test needs.
void WriteProviderDb(const std::filesystem::path& file, std::string_view password,
                     std::string_view sql = {}, int iterations = provider::kDefaultIterations);

}  // namespace zorvane_test
