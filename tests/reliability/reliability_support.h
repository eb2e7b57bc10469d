// What the reliability tests share: location databases built by zorvane-db,
// a program folder of their own for the window, the window driven as a
// person drives it, and a file's state to compare before and after.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QString>

#include "tests/support/fixture_db.h"
#include "tests/support/run_program.h"

class 启动窗口;

namespace reliability {

namespace fs = std::filesystem;

// The small table of the database tool's tests, built by zorvane-db: a good
// location database, and one whose 1380013 lies in 上海 with 中国联通 (what
// replaces the good one while the program runs).
const std::string& GoodDb();
const std::string& OtherDb();

// The answer of the good database for 13800138000, as the window shows it.
extern const QString kFoundLines;
// Both fields missing: a block without a row, or a lookup that failed.
QString MissingLines(const QString& number);

// A folder laid out as the program's own: Source/ holds copies of the built
// skin library and skin file, and Mobile_DB.dat when a test puts one there.
// Every user may enter it and read the copies, so that a test can run the
// program unprivileged wherever the build lies.
class ProgramFolder {
 public:
  ProgramFolder();
  // Gives back the permissions a test took away, so that the folder can go.
  ~ProgramFolder();
  const fs::path& path() const { return dir_.path(); }
  fs::path source() const { return dir_ / "Source"; }
  fs::path db() const { return source() / "Mobile_DB.dat"; }

 private:
  zorvane_test::TempDir dir_;
};

// The built command-line lookup, run by the tests as a person runs it.
inline constexpr char kLookupProgram[] = ZORVANE_PROGRAM_DIR "/zorvane-lookup";

using zorvane_test::AsNobody;
using zorvane_test::ReadBytes;
using zorvane_test::RunProgram;
using zorvane_test::WriteText;

// The main window loaded from a program folder as the program loads it;
// Close() presses Esc and runs the exit clean-up (also on destruction).
class WindowSession {
 public:
  explicit WindowSession(const fs::path& program_folder);
  ~WindowSession();
  WindowSession(const WindowSession&) = delete;
  WindowSession& operator=(const WindowSession&) = delete;

  bool loaded() const { return !window_.isNull(); }

  struct Lookup {
    QString result;              // the result box afterwards
    std::vector<QString> boxes;  // the texts of the message boxes, in order
  };
  // Types the text into the number box and presses Enter; every message box
  // that comes up is noted and dismissed.
  Lookup LookUp(const QString& text);

  // Esc in the number box; true when the window is gone afterwards.
  bool Close();

 private:
  QPointer<启动窗口> window_;
  bool cleaned_up_ = false;
};

// The description of the data-access error box when the connection could
// not be opened (every lookup shows it).
QString ConnectionUnusableText();

// A file's bytes and times, and the names in its folder.
struct FileState {
  std::string bytes;
  struct timespec mtime {};
  struct timespec ctime {};
  std::vector<std::string> folder;
};
FileState StateOf(const fs::path& file);
bool operator==(const FileState& a, const FileState& b);
std::string Describe(const FileState& state);

}  // namespace reliability
