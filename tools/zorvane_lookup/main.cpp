// zorvane-lookup: the lookup of the window, on the command line.
//
//   zorvane-lookup [--db PATH] NUMBER...
//   zorvane-lookup --batch [OPTION]...   (lists of numbers; see batch.h)
//
// Each NUMBER goes into the number box as a paste would and the lookup runs;
// the result box is printed. Exit status: 0 when every number was answered, 1
// when any was rejected or the database could not be read, 2 on a usage error.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "lookup/data_components.h"
#include "lookup/lookup_command.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "platform/program_dir.h"
#include "tools/zorvane_lookup/batch.h"
#include "tools/zorvane_lookup/console_view.h"

namespace {

constexpr char kUsage[] =
    "Usage: zorvane-lookup [--db PATH] NUMBER...\n"
    "       zorvane-lookup --batch [OPTION]...  (see zorvane-lookup --batch --help)\n"
    "\n"
    "Tells the carrier and home location of each eleven-digit mobile number,\n"
    "exactly as the Zorvane window does: each NUMBER is put into the number box\n"
    "(as a paste, so cut to its 11 bytes) and looked up; the result box is\n"
    "printed. Rejections and database errors are printed to standard error.\n"
    "Without NUMBER, asks for one.\n"
    "\n"
    "  --db PATH   the database file (default: Source/Mobile_DB.dat beside the program)\n"
    "  --help      this text\n"
    "\n"
    "Exit status: 0 every number answered, 1 any rejected or the database\n"
    "unreadable, 2 usage error.\n";

int UsageError(const char* message) {
  std::fprintf(stderr, "zorvane-lookup: %s\nTry 'zorvane-lookup --help'.\n", message);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsBatchCommand(argc, argv)) return RunBatch(argc, argv);
  std::string database = ProgramDirectory() + "/Source/Mobile_DB.dat";
  std::vector<std::string> numbers;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!options_done && std::strcmp(arg, "--") == 0) {
      options_done = true;
    } else if (!options_done && std::strcmp(arg, "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!options_done && std::strcmp(arg, "--db") == 0) {
      if (++i == argc) return UsageError("--db needs a file");
      database = argv[i];
    } else if (!options_done && std::strncmp(arg, "--", 2) == 0) {
      return UsageError((std::string("unknown option ") + arg).c_str());
    } else {
      numbers.emplace_back(arg);
    }
  }
  if (numbers.empty()) {
    if (isatty(STDIN_FILENO)) std::fputs("手机号码：", stderr);
    std::string line;
    if (!std::getline(std::cin, line)) return UsageError("no number given");
    numbers.push_back(line);
  }

  ado::Initialize();
  int status = 0;
  {
    控制台界面 界面(stderr);
    数据库连接 数据库连接1;
    记录集 记录集1(界面);
    数据库连接1.连接数据库文件(platform::Utf8ToGbk(database), kDatabasePassword);
    for (const std::string& number : numbers) {
      界面.粘贴到号码框(platform::Utf8ToGbk(number));
      执行查询(界面, 数据库连接1, 记录集1);
      std::fputs(界面.结果文本().c_str(), stdout);
      if (!界面.结果文本().empty() && 界面.结果文本().back() != '\n') std::fputc('\n', stdout);
    }
    if (界面.显示过提示()) status = 1;
  }
  ado::Uninitialize();
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "zorvane-lookup: cannot write the results: %s\n", std::strerror(errno));
    return 1;
  }
  return status;
}
