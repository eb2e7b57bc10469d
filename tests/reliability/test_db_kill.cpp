// zorvane-db killed part-way: SIGKILL at random moments of a build over an
// existing good database. Whenever it dies, the target is byte for byte the
// old database or a complete new one that verifies; never anything between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "lookup/lookup_command.h"
#include "tests/reliability/reliability_support.h"
#include "tests/tools/db_fixtures.h"
#include "tools/common/location_db.h"

namespace reliability {
namespace {

using Clock = std::chrono::steady_clock;

// Runs killed while running; a run that ends before its kill does not count.
constexpr int kKillPoints = 36;
constexpr int kMaxRuns = 100;
// The sanitizer build runs the tool several times slower; it builds the
// first rows of the table instead of all of them.
#ifdef ZORVANE_SANITIZE
constexpr std::size_t kTableRows = 50'000;
#else
constexpr std::size_t kTableRows = 0;  // all
#endif

// The shipped table, or its first `rows` rows, as a file of its own.
std::int64_t WriteTable(const fs::path& file, std::size_t rows) {
  std::ifstream in(fs::path(ZORVANE_SOURCE_ROOT) / "data" / "number_blocks.tsv");
  std::ofstream out(file);
  std::string line;
  std::int64_t written = -1;  // the header is no row
  while (std::getline(in, line) && (rows == 0 || written < static_cast<std::int64_t>(rows))) {
    out << line << '\n';
    ++written;
  }
  return written;
}

// Starts zorvane-db build; its output goes nowhere.
pid_t StartBuild(const fs::path& table, const fs::path& out) {
  const std::string program = ZORVANE_PROGRAM_DIR "/zorvane-db";
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl(program.c_str(), program.c_str(), "build", "--from", table.c_str(), "--out", out.c_str(),
          "--data-version", "new", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit status, or 128 + the signal that ended it.
int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(KilledBuild, LeavesTheOldDatabaseOrACompleteNewOne) {
  ProgramFolder folder;
  const fs::path table = folder.path() / "table.tsv";
  const std::int64_t rows = WriteTable(table, kTableRows);
  ASSERT_GT(rows, 0);
  const fs::path target = folder.db();

  // One build uninterrupted: it works, and how long it takes.
  const Clock::time_point started = Clock::now();
  ASSERT_EQ(Wait(StartBuild(table, target)), 0);
  const auto duration = Clock::now() - started;
  zdb::Verified verified;
  std::string error;
  ASSERT_TRUE(zdb::VerifyLocationDb(target, kDatabasePassword, &verified, &error)) << error;
  ASSERT_EQ(verified.rows, rows);

  // Kill points spread over the whole run and a little beyond it, so that
  // some fall after the rename. A run that ends before its kill narrows the
  // spread: the first run may have been slowed by the rest of the machine.
  std::mt19937 random(20250201);
  double spread_ns =
      static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count()) *
      1.2;
  int runs = 0;
  int killed = 0;
  int finished = 0;
  int old_kept = 0;
  int new_complete = 0;
  int leftovers = 0;
  for (; killed < kKillPoints && runs < kMaxRuns; ++runs) {
    WriteText(target, GoodDb());
    const auto delay =
        static_cast<std::int64_t>(std::uniform_real_distribution<double>(0, spread_ns)(random));
    SCOPED_TRACE("kill after " + std::to_string(delay / 1000) + " us");
    const pid_t pid = StartBuild(table, target);
    const timespec pause{static_cast<time_t>(delay / 1'000'000'000),
                         static_cast<long>(delay % 1'000'000'000)};
    nanosleep(&pause, nullptr);
    kill(pid, SIGKILL);
    const int status = Wait(pid);
    if (status == 128 + SIGKILL) {
      ++killed;
    } else {
      ASSERT_EQ(status, 0);
      ++finished;
      spread_ns *= 0.9;
    }

    if (ReadBytes(target) == GoodDb()) {
      ++old_kept;
    } else {
      ASSERT_TRUE(zdb::VerifyLocationDb(target, kDatabasePassword, &verified, &error)) << error;
      EXPECT_EQ(verified.rows, rows);
      ++new_complete;
    }
    // A killed run cannot remove its temporary file; the next run removes
    // it, so there is never more than the last one's. Nothing else is left.
    int temporary = 0;
    for (const std::string& name : db_test::FilesIn(target.parent_path())) {
      if (name.starts_with(".Mobile_DB.dat.tmp-")) {
        ++temporary;
      } else {
        EXPECT_TRUE(name == "Mobile_DB.dat" || name == "SkinH_EL.dll" || name == "vexa.she")
            << name;
      }
    }
    EXPECT_LE(temporary, 1);
    leftovers += temporary;
  }
  // A run to its end removes what the killed ones left.
  ASSERT_EQ(Wait(StartBuild(table, target)), 0);
  EXPECT_EQ(db_test::FilesIn(target.parent_path()),
            (std::vector<std::string>{"Mobile_DB.dat", "SkinH_EL.dll", "vexa.she"}));
  std::printf(
      "%d kill points in %d runs (%lld rows, uninterrupted build %lld ms): %d finished first; "
      "old database kept %d times, complete new one %d times; %d temporary files left over, "
      "each removed by the next run\n",
      killed, runs, static_cast<long long>(rows),
      static_cast<long long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()),
      finished, old_kept, new_complete, leftovers);
  EXPECT_GE(killed, kKillPoints);
  EXPECT_GT(old_kept, 0);
}

// The clean-up of left-over temporary files spares a run that is still
// writing its own: two builds of one target at the same time both succeed.
TEST(KilledBuild, TheCleanUpSparesARunStillWriting) {
  ProgramFolder folder;
  const fs::path table = folder.path() / "table.tsv";
  ASSERT_GT(WriteTable(table, kTableRows), 0);
  const fs::path target = folder.db();
  const pid_t first = StartBuild(table, target);
  bool writing = false;
  for (int i = 0; i < 2000 && !writing; ++i) {
    for (const std::string& name : db_test::FilesIn(target.parent_path())) {
      writing = writing || name.starts_with(".Mobile_DB.dat.tmp-");
    }
    if (!writing) usleep(1000);
  }
  ASSERT_TRUE(writing);
  EXPECT_EQ(Wait(StartBuild(table, target)), 0);
  EXPECT_EQ(Wait(first), 0);
  zdb::Verified verified;
  std::string error;
  EXPECT_TRUE(zdb::VerifyLocationDb(target, kDatabasePassword, &verified, &error)) << error;
}

}  // namespace
}  // namespace reliability
