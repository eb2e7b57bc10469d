// zorvane-lookup --batch as a user runs it: inputs, outputs that fail, the
// progress bar, the summary, and the fall-back from the lookup image to the
// Mobile table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lookup/lookup_command.h"
#include "tests/support/fixture_db.h"
#include "tests/tools/test_batch_support.h"

namespace {

using batch_test::Fields;
using batch_test::Lines;
using batch_test::ReadBytes;
using batch_test::RunLookup;
using batch_test::WriteText;

constexpr char kHeader[] = "input\tstatus\tblock\tcarrier\tarea\tprovince\tcity\tzip\tarea_code";

// n common lines of the fixture's blocks, some not in it.
std::string Numbers(int n) {
  static const char* const kBlocks[] = {"1380013", "1300000", "1861234", "1390000", "1999998"};
  std::string text;
  for (int i = 0; i < n; ++i) {
    text += kBlocks[i % 5];
    text += std::to_string(1000 + i % 9000);
    text += '\n';
  }
  return text;
}

class BatchCli : public ::testing::Test {
 protected:
  void SetUp() override { batch_test::WriteFixtureDb(db_); }

  std::vector<std::string> Args(std::vector<std::string> more) {
    std::vector<std::string> args = {"--batch", "--db", db_.string()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  zorvane_test::TempDir dir_;
  std::filesystem::path db_ = dir_ / "Mobile_DB.dat";
};

TEST_F(BatchCli, ReadsStandardInputAndFilesInTurn) {
  WriteText(dir_ / "a.txt", "13800138000\n");
  WriteText(dir_ / "b.txt",
            "\xEF\xBB\xBF"
            "18612340000");  // a byte-order mark, no newline
  const auto run = RunLookup(Args({"--input", (dir_ / "a.txt").string(), "--input", "-", "--input",
                                   (dir_ / "b.txt").string()}),
                             {.stdin_text = "23800138000\r\n\r\n19999999999\n"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[1], "13800138000\tok\t1380013\t中国移动\t北京\t北京\t北京\t100000\t010");
  EXPECT_EQ(lines[2], "23800138000\tbad_prefix\t2380013\t\t\t\t\t\t");
  EXPECT_EQ(lines[3], "19999999999\tnot_found\t1999999\t\t\t\t\t\t");
  EXPECT_EQ(lines[4], "18612340000\tok\t1861234\t中国电信\t上海\t上海\t上海\t200000\t021");
}

TEST_F(BatchCli, NormalizeAcceptsPastedForms) {
  const auto run =
      RunLookup(Args({"--normalize", "--format", "csv"}),
                {.stdin_text = "+86 138-0013-8000\n１３８ ００１３ ８０００\n1.38e10\n"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out, "\r\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "+86 138-0013-8000,ok,1380013,中国移动,北京,北京,北京,100000,010");
  EXPECT_EQ(lines[2], "１３８ ００１３ ８０００,ok,1380013,中国移动,北京,北京,北京,100000,010");
  EXPECT_EQ(lines[3], "1.38e10,ok,1380000,中国移动,北京,北京,北京,100000,010");  // as it stands
}

TEST_F(BatchCli, APipeAndAMappedFileGiveTheSameRecords) {
  // Over 4 MB, so the mapped file comes in several pieces, with one line
  // longer than the read buffer of a pipe.
  std::string text = Numbers(200000);
  text += std::string(300000, '7') + "\n";
  text += Numbers(200000);
  WriteText(dir_ / "big.txt", text);
  const auto mapped = RunLookup(Args({"--input", (dir_ / "big.txt").string()}));
  ASSERT_EQ(mapped.status, 0) << mapped.err;

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  // Only the reading end goes to the child, or its input would never end.
  ASSERT_EQ(fcntl(fds[1], F_SETFD, FD_CLOEXEC), 0);
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    close(fds[1]);
  });
  // The child reads the pipe through /dev/fd, as a shell's process
  // substitution would give it.
  const auto piped = RunLookup(Args({"--input", "/dev/fd/" + std::to_string(fds[0])}));
  writer.join();
  close(fds[0]);
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(Lines(mapped.out).size(), 400002u);
  EXPECT_TRUE(piped.out == mapped.out);
}

TEST_F(BatchCli, AnUnreadableInputEndsTheRunBeforeAnyOutput) {
  for (const std::string& input : {(dir_ / "none.txt").string(), dir_.path().string()}) {
    const auto run = RunLookup(Args({"--input", input}), {.stdin_text = "13800138000\n"});
    EXPECT_EQ(run.status, 1) << input;
    EXPECT_EQ(run.out, "") << input;
    ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_TRUE(run.err.starts_with("zorvane-lookup: cannot read " + input + ": ")) << run.err;
  }
}

TEST_F(BatchCli, AClosedPipeIsAnErrorNotASignal) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  const auto run = RunLookup(Args({}), {.stdin_text = Numbers(1000), .stdout_fd = fds[1]});
  close(fds[1]);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorvane-lookup: cannot write the output: Broken pipe\n");
}

TEST_F(BatchCli, AFullDiskIsReported) {
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  const auto run = RunLookup(Args({}), {.stdin_text = Numbers(1000), .stdout_fd = full});
  close(full);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorvane-lookup: cannot write the output: No space left on device\n");
}

// A file that can take only part of the output (its size limit stands for a
// full disk): the write that fails comes after one that succeeded and stops
// halfway, and the file is left with whole records only.
TEST_F(BatchCli, AFailedWriteLeavesOnlyWholeRecords) {
  const int out = open((dir_ / "out.tsv").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(out, 0);
  const rlim_t limit = batch::Output::kDefaultCapacity * 3 / 2;
  const auto run = RunLookup(
      Args({}), {.stdin_text = Numbers(100000), .stdout_fd = out, .file_size_limit = limit});
  close(out);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorvane-lookup: cannot write the output: File too large\n");
  const std::string written = ReadBytes(dir_ / "out.tsv");
  ASSERT_FALSE(written.empty());
  EXPECT_LE(written.size(), limit);
  EXPECT_EQ(written.back(), '\n');
  const auto lines = Lines(written);
  EXPECT_EQ(lines[0], kHeader);
  for (std::size_t i = 1; i < lines.size(); ++i) ASSERT_EQ(Fields(lines[i]).size(), 9u) << i;
}

TEST_F(BatchCli, SummaryCountsStatusesAndCarriers) {
  const auto run =
      RunLookup(Args({"--summary"}), {.stdin_text = Numbers(10) + "abc\n1e11\n13800138000\n"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "zorvane-lookup: 13 records\n"
            "  ok                      9\n"
            "  not_found               2\n"
            "  bad_length              1\n"
            "  bad_prefix              1\n"
            "  ok records by carrier:\n"
            "               3  中国移动\n"
            "               2  中国广电\n"
            "               2  中国电信\n"
            "               2  中国联通\n");
}

// Runs the program with standard error (and, if asked, standard output) on a
// terminal; returns what the terminal showed.
std::string RunOnTerminal(const std::vector<std::string>& args, bool output_too = false) {
  std::vector<std::string> all = {std::string(ZORVANE_PROGRAM_DIR) + "/zorvane-lookup"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(all.size() + 1);
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (!output_too) dup2(open("/dev/null", O_WRONLY), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string shown;
  char buffer[4096];
  ssize_t n;
  while ((n = read(terminal, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) shown.append(buffer, static_cast<std::size_t>(n));
  }
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
  return shown;
}

TEST_F(BatchCli, ShowsProgressOnlyOnATerminalAndWithoutQuiet) {
  WriteText(dir_ / "numbers.txt", Numbers(100000));
  const std::string input = (dir_ / "numbers.txt").string();
  const std::string shown = RunOnTerminal(Args({"--input", input}));
  EXPECT_NE(shown.find("100%"), std::string::npos) << shown;
  EXPECT_NE(shown.find("rows/s"), std::string::npos) << shown;
  EXPECT_NE(shown.find("elapsed"), std::string::npos) << shown;
  EXPECT_EQ(RunOnTerminal(Args({"--input", input, "--quiet"})), "");
  // Records on the terminal too: no bar in between them.
  const std::string records = RunOnTerminal(Args({"--input", input}), true);
  EXPECT_NE(records.find("13800131000"), std::string::npos);
  EXPECT_EQ(records.find("rows/s"), std::string::npos);

  const auto not_terminal = RunLookup(Args({"--input", input}));
  ASSERT_EQ(not_terminal.status, 0);
  EXPECT_EQ(not_terminal.err, "");
}

// A copy of the fixture without its lookup image: the Mobile table alone,
// with every column the records show.
void WriteTableOnlyDb(const std::filesystem::path& file) {
  zorvane_test::WriteProviderDb(
      file, kDatabasePassword,
      "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT, province TEXT, city TEXT, zip TEXT,"
      "                    code TEXT);"
      "INSERT INTO Mobile VALUES"
      " ('01390000', '不是', '号段', '', '', '', ''),"  // no block: skipped
      " ('1000000', '广东 广州', '中国联通', '广东', '广州', '510000', '020'),"
      " ('1300000', '山东 济南', '中国联通', '山东', '济南', '250000', '0531'),"
      " ('1380000', '北京', '中国移动', '北京', '北京', '100000', '010'),"
      " ('1380013', '北京', '中国移动', '北京', '北京', '100000', '010'),"
      " ('1380013', '重复', '重复', '', '', '', ''),"  // the window finds the first
      " ('1861234', '上海', '中国电信', '上海', '上海', '200000', '021'),"
      " ('1999998', '广东 深圳', '中国广电', '广东', '深圳', '518000', '0755');");
}

// Flips one byte in the middle of the stored lookup image.
void DamageImage(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* read = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT value FROM zorvane_meta WHERE key='lookup_image'", -1,
                               &read, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(read, 0));
  std::string image(bytes, static_cast<std::size_t>(sqlite3_column_bytes(read, 0)));
  sqlite3_finalize(read);
  image[image.size() / 2] = static_cast<char>(image[image.size() / 2] ^ 0x40);
  sqlite3_stmt* write = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE zorvane_meta SET value=? WHERE key='lookup_image'", -1,
                               &write, nullptr),
            SQLITE_OK);
  sqlite3_bind_blob(write, 1, image.data(), static_cast<int>(image.size()), SQLITE_TRANSIENT);
  ASSERT_EQ(sqlite3_step(write), SQLITE_DONE);
  sqlite3_finalize(write);
  sqlite3_close(db);
}

constexpr char kFallbackInput[] =
    "13800138000\n10000000000\n18612340000\n19999989999\n13900000000\n13000000000\nabc\n";

TEST_F(BatchCli, WithoutAnImageReadsTheTableAndAnswersTheSame) {
  const auto from_image = RunLookup(Args({}), {.stdin_text = kFallbackInput});
  ASSERT_EQ(from_image.status, 0) << from_image.err;
  EXPECT_EQ(from_image.err, "");

  const auto table_only = dir_ / "table.dat";
  WriteTableOnlyDb(table_only);
  const auto run =
      RunLookup({"--batch", "--db", table_only.string()}, {.stdin_text = kFallbackInput});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "zorvane-lookup: the database has no lookup image; reading the Mobile table "
            "instead\n");
  EXPECT_EQ(run.out, from_image.out);
}

TEST_F(BatchCli, ADamagedImageIsNotUsed) {
  const auto from_image = RunLookup(Args({}), {.stdin_text = kFallbackInput});
  ASSERT_EQ(from_image.status, 0) << from_image.err;
  DamageImage(db_);
  const auto run = RunLookup(Args({}), {.stdin_text = kFallbackInput});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "zorvane-lookup: lookup image: checksum mismatch (the image is damaged); reading "
            "the Mobile table instead\n");
  // The view Mobile has the columns the window reads; the records agree on
  // those.
  const auto expected = Lines(from_image.out);
  const auto got = Lines(run.out);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 1; i < got.size(); ++i) {
    const auto e = Fields(expected[i]);
    const auto g = Fields(got[i]);
    ASSERT_EQ(g.size(), 9u);
    for (std::size_t f : {0, 1, 2, 3, 4, 7, 8}) EXPECT_EQ(g[f], e[f]) << got[i];
  }
}

TEST_F(BatchCli, ADatabaseThatCannotBeOpenedEndsTheRun) {
  const auto missing =
      RunLookup({"--batch", "--db", (dir_ / "none.dat").string()}, {.stdin_text = "13800138000\n"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_TRUE(missing.err.starts_with("zorvane-lookup: cannot open the database ")) << missing.err;
  EXPECT_EQ(Lines(missing.err).size(), 1u) << missing.err;
}

TEST_F(BatchCli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {{"--batch", "13800138000"},
                                                       {"--batch", "--format", "xml"},
                                                       {"--batch", "--encoding", "latin1"},
                                                       {"--batch", "--input"},
                                                       {"--batch", "--bogus"},
                                                       {"--batch", "--quiet=yes"},
                                                       {"--batch", "--", "13800138000"}};
  for (const auto& args : cases) {
    const auto run = RunLookup(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("zorvane-lookup --batch --help"), std::string::npos) << run.err;
  }
  const auto help = RunLookup({"--batch", "--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"--normalize", "--encoding", "jsonl", "RFC 4180", "bad_prefix",
                           "not_found", "area_code", "0086", "Example"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

// True when some process has `file` mapped.
bool AnyProcessMaps(const std::filesystem::path& file) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    std::ifstream maps(entry.path() / "maps");
    std::string line;
    while (std::getline(maps, line)) {
      if (line.ends_with(file.string())) return true;
    }
  }
  return false;
}

// An input file cut short by another program after the run mapped it: the
// run ends with one line and status 1, not with SIGBUS.
TEST_F(BatchCli, AnInputCutShortWhileReadEndsWithOneLine) {
  const auto pipe = dir_ / "first.fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto big = dir_ / "big.txt";
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "13800138000\n";
  WriteText(big, text);

  batch_test::Run run;
  std::thread lookup([&] {
    run = RunLookup(Args({"--quiet", "--input", pipe.string(), "--input", big.string()}));
  });
  // The run opens every input before it reads one, the pipe first: once the
  // pipe has its reader and the big file is mapped, cut the file short, then
  // end the pipe so the run goes on to the file.
  const int writer = ::open(pipe.c_str(), O_WRONLY);
  bool mapped = false;
  for (int i = 0; i < 500 && !mapped; ++i) {
    mapped = AnyProcessMaps(big);
    if (!mapped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::filesystem::resize_file(big, 0);
  if (writer >= 0) ::close(writer);
  lookup.join();

  ASSERT_GE(writer, 0);
  ASSERT_TRUE(mapped);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorvane-lookup: an input file was cut short while it was read\n");
  for (const std::string& line : Lines(run.out)) EXPECT_EQ(Fields(line).size(), 9u) << line;
}

}  // namespace
