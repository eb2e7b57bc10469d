#include <iostream>
#include <string_view>
#include <vector>

#include "tools/common/atomic_file.h"
#include "tools/zorvane_db/commands.h"

int main(int argc, char** argv) {
  zdb::RemovePendingFilesOnSignals();
  std::vector<std::string_view> args(argv + 1, argv + argc);
  return zdb::RunZorvaneDb(args, std::cout, std::cerr);
}
