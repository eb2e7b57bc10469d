// Any bytes as the database file, opened the way the window opens it (its
// connection text and password; the file named by an absolute path, so that
// the fuzzer's relative paths keep working), then queried with the
// program's statement and read through the data components; then the whole
// Mobile table read row by row with a server-side cursor, every field as
// text. Nothing may crash or hang, and the file must be left as it was.
//
// The seeds (fuzz/corpus/database_open, written by make_database_seeds) use
// one PBKDF2 iteration, so that an open costs microseconds and the fuzzer
// gets past the password check.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "lookup/data_components.h"
#include "lookup/decompose.h"
#include "lookup/lookup_command.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"

namespace {

class SilentBox : public 错误提示 {
 public:
  void 显示错误框(std::string_view 描述) override { last = 描述; }
  std::string last;
};

[[noreturn]] void Die(const char* what) {
  std::perror(what);
  std::abort();
}

// A name of our own for the database file. The file exists only during a
// run of the target (a crash leaves it behind, as the evidence).
const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string name = (std::filesystem::temp_directory_path() / "zorvane-fuzz-XXXXXX").string();
    const int fd = mkstemp(name.data());
    if (fd < 0) Die("mkstemp");
    ::close(fd);
    ado::Initialize();
    return name;
  }();
  return path;
}

void WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Die("open");
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) Die("write");
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Die("open");
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return bytes;
}

// The names the seeds give their columns, and the program's own.
constexpr std::string_view kFields[] = {"num", "area", "t", "zip", "code", "b", "y", "s",
                                        "l",   "f",    "d", "c",   "w",    "m", "o", "x"};
constexpr int kMaxRows = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = DatabasePath();
  WriteAll(path, data, size);
  {
    SilentBox box;
    数据库连接 数据库连接1;
    记录集 记录集1(box);
    数据库连接1.连接数据库文件(platform::Utf8ToGbk(path), kDatabasePassword);
    记录集1.绑定连接(数据库连接1);

    // The window's look-up, for a number of the seeds' block.
    const 分解结果 分解 = 分解文本("13800138000");
    std::string 归属地;
    std::string 供应商;
    记录集1.打开记录集(查询文本表().语句头 + 加引号(分解.号段), ado::kCmdText);
    记录集1.读字段文本("area", 归属地);
    记录集1.读字段文本("t", 供应商);

    // Every row and field the file offers, stepped through one by one.
    记录集 表(box);
    表.绑定连接(数据库连接1);
    if (表.打开记录集("select * from Mobile", ado::kCmdText, ado::kUseServer)) {
      for (int row = 0; row < kMaxRows && !表.记录集对象()->Eof(); ++row) {
        std::string 文本;
        for (std::string_view field : kFields) 表.读字段文本(field, 文本);
        (void)表.记录集对象()->MoveNext();
      }
    }
  }
  if (ReadAll(path) != std::string_view(reinterpret_cast<const char*>(data), size)) {
    std::fprintf(stderr, "database_open: the database file was changed\n");
    std::abort();
  }
  ::unlink(path.c_str());
  return 0;
}
