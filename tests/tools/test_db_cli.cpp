// zorvane-db as a command: usage, statuses, messages and reports, and an
// interrupted run of the real program.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "lookup/lookup_command.h"
#include "tests/support/fixture_db.h"
#include "tests/tools/db_fixtures.h"

namespace {

namespace fs = std::filesystem;
using db_test::RunDb;
using zorvane_test::TempDir;

class ZorvaneDb : public testing::Test {
 protected:
  void SetUp() override {
    db_test::WriteText(tsv_, db_test::kSmallTsv);
    const auto built =
        RunDb({"build", "--from", tsv_, "--out", db_, "--data-version", "2025-02-01"});
    ASSERT_EQ(built.status, 0) << built.err;
    ASSERT_EQ(built.out, db_ + ": 10 rows, 10 places, data version 2025-02-01\n");
  }

  TempDir dir_;
  std::string tsv_ = (dir_ / "blocks.tsv").string();
  std::string db_ = (dir_ / "Mobile_DB.dat").string();
};

TEST_F(ZorvaneDb, UsageErrorsExitTwoWithOneLine) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"frobnicate"}, "zorvane-db: unknown command frobnicate (see zorvane-db --help)\n"},
      {{"build", "--from", "x.tsv"},
       "zorvane-db build: missing --out (see zorvane-db build --help)\n"},
      {{"build", "--out", "x.dat"},
       "zorvane-db build: missing --from (see zorvane-db build --help)\n"},
      {{"build", "--from"},
       "zorvane-db build: --from needs a value (see zorvane-db build --help)\n"},
      {{"build", "--from", "a", "--from", "b", "--out", "c"},
       "zorvane-db build: --from given twice (see zorvane-db build --help)\n"},
      {{"build", "--from", "a", "--out", "c", "extra"},
       "zorvane-db build: takes no file arguments (see zorvane-db build --help)\n"},
      {{"build", "--from=a", "--out=c", "--format=xls"},
       "zorvane-db: --format must be tsv or csv\n"},
      {{"info"}, "zorvane-db info: expects the arguments FILE (see zorvane-db info --help)\n"},
      {{"diff", "a"},
       "zorvane-db diff: expects the arguments OLD NEW (see zorvane-db diff --help)\n"},
      {{"diff", "a", "b", "--table=yes"},
       "zorvane-db diff: --table takes no value (see zorvane-db diff --help)\n"},
      {{"verify", "a", "--quick"},
       "zorvane-db verify: unknown option --quick (see zorvane-db verify --help)\n"},
  };
  for (const Case& c : cases) {
    const auto run = RunDb(c.args);
    EXPECT_EQ(run.status, 2) << c.args[0];
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(RunDb({}).status, 2);
}

TEST_F(ZorvaneDb, EveryCommandHasHelp) {
  for (std::string name : {"build", "import-phonedat", "export", "info", "diff", "verify"}) {
    const auto run = RunDb({name, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Usage: zorvane-db " + name + " ")) << run.out;
  }
  const auto run = RunDb({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("import-phonedat"), std::string::npos);
}

TEST_F(ZorvaneDb, ABadTableFailsWithOneLineAndLeavesTheOldFile) {
  const std::string before = db_test::ReadBytes(db_);
  db_test::WriteText(tsv_,
                     std::string(db_test::kSmallTsv) + "1380013\t上海\t上海\t200000\t021\t移动\n");
  const auto run = RunDb({"build", "--from", tsv_, "--out", db_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "zorvane-db: " + tsv_ + ": line 12: duplicate block 1380013 (first on line 5)\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(db_test::ReadBytes(db_), before);
  EXPECT_EQ(db_test::FilesIn(dir_.path()),
            (std::vector<std::string>{"Mobile_DB.dat", "blocks.tsv"}));

  const auto missing = RunDb({"build", "--from", (dir_ / "none.tsv").string(), "--out", db_});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "zorvane-db: cannot read " + (dir_ / "none.tsv").string() +
                             ": No such file or directory\n");

  const auto onto_input = RunDb({"build", "--from", tsv_, "--out", tsv_});
  EXPECT_EQ(onto_input.status, 1);
  EXPECT_EQ(onto_input.err, "zorvane-db: --out names the input file " + tsv_ + "\n");
  EXPECT_EQ(db_test::ReadBytes(db_), before);
}

TEST_F(ZorvaneDb, OnlyARegularFileIsReplaced) {
  // A pipe and a link stay what they are: renaming over them would swap the
  // thing itself for a file (as root even a device such as /dev/null).
  const fs::path fifo = dir_ / "pipe.dat";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path link = dir_ / "link.dat";
  fs::create_symlink(db_, link);
  for (const fs::path& target : {fifo, link}) {
    const auto run = RunDb({"build", "--from", tsv_, "--out", target.string()});
    EXPECT_EQ(run.status, 1) << target;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
}

TEST_F(ZorvaneDb, ExportAndBuildRoundTripInBothFormats) {
  const std::string tsv = (dir_ / "out.tsv").string();
  const std::string csv = (dir_ / "out.csv").string();
  const std::string again = (dir_ / "again.dat").string();
  ASSERT_EQ(RunDb({"export", db_, "--out", tsv}).status, 0);
  EXPECT_EQ(db_test::ReadBytes(tsv), db_test::kSmallTsv);
  ASSERT_EQ(RunDb({"export", db_, "--out", csv}).status, 0);
  EXPECT_TRUE(db_test::ReadBytes(csv).starts_with(
      "num,province,city,zip,areacode,carrier\r\n1300000,山东,济南,250000,0531,联通\r\n"));
  ASSERT_EQ(RunDb({"build", "--from", csv, "--out", again}).status, 0);
  const auto diff = RunDb({"diff", db_, again});
  EXPECT_NE(diff.out.find("added: 0\nremoved: 0\nchanged: 0 "), std::string::npos) << diff.out;
  const auto onto_db = RunDb({"export", db_, "--out", db_});
  EXPECT_EQ(onto_db.status, 1);
}

TEST_F(ZorvaneDb, InfoCountsRowsPerCarrierAndPrefix) {
  const auto run = RunDb({"info", db_});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string image_line = "lookup image: ";
  const std::size_t at = run.out.find(image_line);
  ASSERT_NE(at, std::string::npos);
  const std::size_t end = run.out.find('\n', at);
  EXPECT_TRUE(
      run.out.substr(at, end - at).ends_with(" bytes, blocks 1300000..1920000, checksum ok"))
      << run.out;
  EXPECT_EQ(run.out.substr(0, at),
            "file: " + db_ + "\ndata version: 2025-02-01\nrows: 10\nplaces: 10\n");
  EXPECT_EQ(run.out.substr(end + 1),
            "rows per carrier:\n"
            "  中国移动\t2\n"
            "  中国联通\t2\n"
            "  中国电信\t1\n"
            "  中国广电\t1\n"
            "  中国移动(虚拟运营商)\t1\n"
            "  中国联通(虚拟运营商)\t1\n"
            "  中国电信(虚拟运营商)\t1\n"
            "  未知\t1\n"
            "blocks per leading three digits:\n"
            "  130\t2\n  134\t1\n  138\t1\n  153\t1\n  167\t1\n  170\t3\n  192\t1\n");
}

TEST_F(ZorvaneDb, DiffReportsAddedRemovedAndChangedBlocks) {
  std::string text(db_test::kSmallTsv);
  const auto replace = [&text](std::string_view from, std::string_view to) {
    text.replace(text.find(from), from.size(), to);
  };
  replace("1300001\t江苏\t常州\t213000\t0519\t联通\n", "");
  replace("1380013\t北京\t北京\t100000\t010\t移动", "1380013\t北京\t北京\t100000\t010\t联通");
  replace("1530000\t广东\t广州\t510000", "1530000\t广东\t广州\t510001");
  text += "1990000\t广东\t深圳\t518000\t0755\t广电\n";
  const std::string newer = (dir_ / "newer.dat").string();
  db_test::WriteText(tsv_, text);
  ASSERT_EQ(RunDb({"build", "--from", tsv_, "--out", newer, "--data-version", "2025-03-01"}).status,
            0);

  const auto report = RunDb({"diff", db_, newer});
  EXPECT_EQ(report.status, 0);
  EXPECT_EQ(report.out, "old: " + db_ + " (data version 2025-02-01, 10 rows)\n" + "new: " + newer +
                            " (data version 2025-03-01, 10 rows)\n" +
                            "added: 1\nremoved: 1\n"
                            "changed: 2 (location 0, carrier 1, zip or area code 1)\n");

  const auto table = RunDb({"diff", db_, newer, "--table"});
  EXPECT_EQ(table.status, 0);
  EXPECT_EQ(table.out,
            "change\tnum\told_province\told_city\told_zip\told_areacode\told_carrier"
            "\tnew_province\tnew_city\tnew_zip\tnew_areacode\tnew_carrier\n"
            "removed\t1300001\t江苏\t常州\t213000\t0519\t联通\t\t\t\t\t\n"
            "changed\t1380013\t北京\t北京\t100000\t010\t移动\t北京\t北京\t100000\t010\t联通\n"
            "changed\t1530000\t广东\t广州\t510000\t020\t电信\t广东\t广州\t510001\t020\t电信\n"
            "added\t1990000\t\t\t\t\t\t广东\t深圳\t518000\t0755\t广电\n");
}

TEST_F(ZorvaneDb, PasswordOtherThanTheProgramsOwn) {
  const std::string locked = (dir_ / "locked.dat").string();
  ASSERT_EQ(RunDb({"build", "--from", tsv_, "--out", locked, "--password", "0ther#Pass"}).status,
            0);
  for (std::string command : {"info", "verify", "export"}) {
    std::vector<std::string> args = {command, locked};
    if (command == "export") args.insert(args.end(), {"--out", (dir_ / "x.tsv").string()});
    const auto run = RunDb(args);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err, "zorvane-db: the password does not open " + locked + "\n") << command;
    args.insert(args.end(), {"--password", "0ther#Pass"});
    EXPECT_EQ(RunDb(args).status, 0) << command;
  }
  const auto verify = RunDb({"verify", db_});
  EXPECT_EQ(verify.status, 0);
  EXPECT_TRUE(verify.out.starts_with(db_ + ": ok, 10 rows, data version 2025-02-01, 10 places"));

  const auto bad = RunDb({"build", "--from", tsv_, "--out", locked, "--password", "a;b"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "zorvane-db: the password contains a semicolon, which the connection text cannot "
            "carry\n");
}

// The real program, killed while it writes: the old file stays and the
// temporary file goes.
TEST(ZorvaneDbProgram, AnInterruptedBuildLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string db = (dir / "Mobile_DB.dat").string();
  db_test::WriteText(dir / "small.tsv", db_test::kSmallTsv);
  ASSERT_EQ(RunDb({"build", "--from", (dir / "small.tsv").string(), "--out", db}).status, 0);
  fs::remove(dir / "small.tsv");
  const std::string before = db_test::ReadBytes(db);

  const std::string program = std::string(ZORVANE_PROGRAM_DIR) + "/zorvane-db";
  const std::string table = std::string(ZORVANE_SOURCE_ROOT) + "/data/number_blocks.tsv";
  std::vector<std::string> args = {program, "build", "--from", table, "--out", db};
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

  // The full table takes about a second; the temporary file appears once it
  // has been read.
  bool seen = false;
  for (int i = 0; i < 1000 && !seen; ++i) {
    for (const std::string& name : db_test::FilesIn(dir.path())) {
      seen = seen || name.starts_with(".Mobile_DB.dat.tmp-");
    }
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(seen);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(db_test::ReadBytes(db), before);
  EXPECT_EQ(db_test::FilesIn(dir.path()), std::vector<std::string>{"Mobile_DB.dat"});
}

}  // namespace
