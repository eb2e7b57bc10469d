// Fixture databases for the lookup tests: provider-format files that the
// program's own password opens.
#pragma once

#include <string>

#include "lookup/lookup_command.h"
#include "tests/support/fixture_db.h"

// Creates `name` in `dir` with the tables that `sql` makes; returns its path.
inline std::string MakeDatabase(const zorvane_test::TempDir& dir, const char* name,
                                const char* sql) {
  zorvane_test::WriteProviderDb(dir / name, kDatabasePassword, sql);
  return (dir / name).string();
}
