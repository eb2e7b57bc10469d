// zorvane-db: builds, imports, exports, inspects, compares and verifies the
// location database file.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace zdb {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs one command line (without the program name). Reports go to `out`,
// messages to `err` (one line on failure). Returns the exit status.
int RunZorvaneDb(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace zdb
