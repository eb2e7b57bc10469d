// The database file is never changed by the window or by zorvane-lookup: its
// bytes, modification and change times, and the names in its folder (no
// journal, no lock file) are the same after a whole session.
#include <gtest/gtest.h>

#include "tests/reliability/reliability_support.h"

namespace reliability {
namespace {

class DatabaseUnchanged : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(folder_.db(), GoodDb());
    // An hour back, so that any write at all would show in the times.
    fs::last_write_time(folder_.db(), fs::last_write_time(folder_.db()) - std::chrono::hours(1));
    before_ = StateOf(folder_.db());
  }

  void ExpectUnchanged() {
    const FileState after = StateOf(folder_.db());
    EXPECT_TRUE(after == before_) << "before: " << Describe(before_)
                                  << "\nafter:  " << Describe(after);
  }

  ProgramFolder folder_;
  FileState before_;
};

TEST_F(DatabaseUnchanged, ByAWindowSession) {
  {
    WindowSession session(folder_.path());
    ASSERT_TRUE(session.loaded());
    EXPECT_EQ(session.LookUp(QStringLiteral("13800138000")).result, kFoundLines);
    EXPECT_TRUE(session.LookUp(QStringLiteral("13900000000")).boxes.empty());
    EXPECT_EQ(session.LookUp(QStringLiteral("23800138000")).boxes.size(), 1u);
    EXPECT_EQ(session.LookUp(QStringLiteral("1380013")).boxes.size(), 1u);
    EXPECT_TRUE(session.Close());
  }
  ExpectUnchanged();
}

TEST_F(DatabaseUnchanged, ByZorvaneLookupRuns) {
  const std::string db = folder_.db().string();
  const std::string lines = "13800138000\n13900000000\n23800138000\n+86 138-0013-8000\nabc\n";
  const std::vector<std::vector<std::string>> runs = {
      {"--db", db, "13800138000", "13900000000", "23800138000"},
      {"--db", db},  // the number from standard input
      {"--batch", "--db", db},
      {"--batch", "--db", db, "--format", "csv", "--normalize", "--summary"},
      {"--batch", "--db", db, "--format", "jsonl", "--encoding", "gbk"},
      {"--batch", "--db", db, "--input", "/nonexistent/numbers.txt"},
  };
  for (const auto& args : runs) {
    SCOPED_TRACE(args.back());
    const zorvane_test::Run run = RunProgram(kLookupProgram, args, {.stdin_text = lines});
    EXPECT_LE(run.status, 1) << run.err;
    ExpectUnchanged();
  }
}

}  // namespace
}  // namespace reliability
