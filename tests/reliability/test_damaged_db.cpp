// Damaged database files, through the program's real paths: the window
// (loaded from a program folder whose Source/Mobile_DB.dat is the damaged
// file), zorvane-lookup with numbers, and zorvane-lookup --batch. Whatever
// the file, a lookup answers right or fails with the error box; nothing
// crashes and no wrong answer is shown as a right one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "lookup/lookup_command.h"
#include "tests/reliability/reliability_support.h"

namespace reliability {
namespace {

constexpr std::size_t kPage = 4096;  // zorvane-db's page size
const QString kFound = QStringLiteral("13800138000");
const QString kNotFound = QStringLiteral("13900000000");  // 1390000 has no row
constexpr char kBatchFound[] = "13800138000\tok\t1380013\t中国移动\t北京\t北京\t北京\t100000\t010";
constexpr char kBatchNotFound[] = "13900000000\tnot_found\t1390000\t\t\t\t\t\t";

// The result lines as zorvane-lookup prints them: UTF-8, lines ended by LF.
std::string ConsoleText(const QString& lines) {
  return QString(lines).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toStdString();
}

// What a damaged file leads to.
enum class Outcome {
  kAnswers,         // the file still answers every lookup right
  kNoConnection,    // the connection fails: every lookup shows the error box
  kQueryFails,      // the connection opens, the statement fails: the error box
  kAnswersOrFails,  // each lookup answers right or shows the error box
};

struct DamageCase {
  DamageCase(std::string name_, std::function<void(const ProgramFolder&)> make_, Outcome outcome_,
             std::string says_, bool as_nobody_ = false, std::string cli_path_ = {})
      : name(std::move(name_)),
        make(std::move(make_)),
        outcome(outcome_),
        says(std::move(says_)),
        as_nobody(as_nobody_),
        cli_path(std::move(cli_path_)) {}

  std::string name;
  std::function<void(const ProgramFolder&)> make;
  Outcome outcome;
  // kNoConnection: the reason zorvane-lookup --batch gives; kQueryFails: the
  // error box's text. Empty: not checked.
  std::string says;
  bool as_nobody = false;  // file permissions matter to the case
  // Where zorvane-lookup finds the file, in the program folder; the window
  // always reads Source/Mobile_DB.dat. Empty: the same.
  std::string cli_path;
};

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

std::function<void(const ProgramFolder&)> Bytes(std::string bytes) {
  return [bytes = std::move(bytes)](const ProgramFolder& f) { WriteText(f.db(), bytes); };
}

std::function<void(const ProgramFolder&)> Sql(std::string password, std::string sql) {
  return [password = std::move(password), sql = std::move(sql)](const ProgramFolder& f) {
    zorvane_test::WriteProviderDb(f.db(), password, sql);
  };
}

// The pages of the good database, 0-based, that a lookup can meet: all but
// the lookup image's overflow chain (read by the batch lookup alone, and
// checked by its checksum), of which the first, one in the middle and the
// last stand for the rest.
std::vector<std::size_t> PagesThatMatter() {
  zorvane_test::TempDir dir;
  WriteText(dir / "good.dat", GoodDb());
  sqlite3* db = nullptr;
  sqlite3_stmt* pages = nullptr;
  if (sqlite3_open_v2((dir / "good.dat").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(db, "SELECT pageno, pagetype FROM dbstat ORDER BY pageno", -1, &pages,
                         nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "dbstat: " << sqlite3_errmsg(db);
  }
  std::vector<std::size_t> chosen;
  std::vector<std::size_t> overflow;
  while (pages != nullptr && sqlite3_step(pages) == SQLITE_ROW) {
    const auto page = static_cast<std::size_t>(sqlite3_column_int64(pages, 0) - 1);
    const std::string_view type = reinterpret_cast<const char*>(sqlite3_column_text(pages, 1));
    (type == "overflow" ? overflow : chosen).push_back(page);
  }
  sqlite3_finalize(pages);
  sqlite3_close(db);
  if (!overflow.empty()) {
    for (std::size_t at : {std::size_t{0}, overflow.size() / 2, overflow.size() - 1}) {
      chosen.push_back(overflow[at]);
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return chosen;
}

std::vector<DamageCase> DamageCases() {
  const std::string& good = GoodDb();
  std::vector<DamageCase> cases;
  cases.emplace_back("intact", Bytes(good), Outcome::kAnswers, "");
  cases.emplace_back(
      "missing", [](const ProgramFolder&) {}, Outcome::kNoConnection, "找不到文件");
  cases.emplace_back("empty", Bytes(""), Outcome::kNoConnection, "无法识别的数据库格式");

  // Cut inside the header, and at and inside the pages that matter.
  std::vector<std::size_t> cuts = {1, 16, 99, 100, 101, kPage / 2};
  const std::vector<std::size_t> pages = PagesThatMatter();
  for (std::size_t page : pages) {
    if (page == 0) continue;
    cuts.push_back(page * kPage);
    cuts.push_back(page * kPage + kPage / 2);
  }
  cuts.push_back(good.size() - 1);
  for (std::size_t cut : cuts) {
    cases.emplace_back("truncated at " + std::to_string(cut), Bytes(good.substr(0, cut)),
                       cut < kPage ? Outcome::kNoConnection : Outcome::kAnswersOrFails, "");
  }

  for (std::size_t size : {1u, 100u, 4096u, 65536u}) {
    cases.emplace_back("random " + std::to_string(size) + " bytes",
                       Bytes(RandomBytes(size, static_cast<unsigned>(size))),
                       Outcome::kNoConnection, "无法识别的数据库格式");
  }
  // An SQLite header over random pages, and each page that matters random.
  cases.emplace_back("header then random",
                     Bytes(good.substr(0, 100) + RandomBytes(good.size() - 100, 7)),
                     Outcome::kNoConnection, "无法识别的数据库格式");
  for (std::size_t page : pages) {
    std::string damaged = good;
    damaged.replace(page * kPage, kPage, RandomBytes(kPage, static_cast<unsigned>(page + 100)));
    cases.emplace_back("page " + std::to_string(page + 1) + " random", Bytes(damaged),
                       page == 0 ? Outcome::kNoConnection : Outcome::kAnswersOrFails, "");
  }

  // Other schemas and other passwords.
  cases.emplace_back(
      "SQLite file of another program",
      [](const ProgramFolder& f) {
        zorvane_test::WriteSqliteDb(f.db(),
                                    "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);"
                                    "INSERT INTO Mobile VALUES('1380013','北京','中国移动')");
      },
      Outcome::kNoConnection, "无法识别的数据库格式");
  cases.emplace_back("no Mobile table", Sql(kDatabasePassword, "CREATE TABLE other(x)"),
                     Outcome::kQueryFails, "数据库引擎无法执行该语句（no such table: Mobile）。");
  cases.emplace_back("Mobile without num", Sql(kDatabasePassword, "CREATE TABLE Mobile(area, t)"),
                     Outcome::kQueryFails, "数据库引擎无法执行该语句（no such column: num）。");
  cases.emplace_back("wrong password verifier",
                     Sql("another password",
                         "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);"
                         "INSERT INTO Mobile VALUES('1380013','北京','中国移动')"),
                     Outcome::kNoConnection, "不是有效的密码");
  cases.emplace_back(
      "verifier cut short",
      [](const ProgramFolder& f) {
        WriteText(f.db(), GoodDb());
        sqlite3* db = nullptr;
        sqlite3_open(f.db().c_str(), &db);
        sqlite3_exec(db,
                     "UPDATE zorvane_meta SET value = substr(value, 1, 16) "
                     "WHERE key = 'password_verifier'",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
      },
      Outcome::kNoConnection, "无法识别的数据库格式");
  cases.emplace_back(
      "a folder in its place", [](const ProgramFolder& f) { fs::create_directory(f.db()); },
      Outcome::kNoConnection, "无法识别的数据库格式");

  // Permissions: the program only reads, so only reading matters.
  // The window's folder Source/ holds its skin library too, whose absence is
  // a fatal error of the start; a locked folder is a case for --db alone.
  cases.emplace_back(
      "locked folder",
      [](const ProgramFolder& f) {
        fs::create_directory(f.path() / "locked");
        WriteText(f.path() / "locked" / "Mobile_DB.dat", GoodDb());
        fs::permissions(f.path() / "locked", fs::perms::owner_write);
      },
      Outcome::kNoConnection, "没有读取它的权限", true, "locked/Mobile_DB.dat");
  cases.emplace_back(
      "unreadable file",
      [](const ProgramFolder& f) {
        WriteText(f.db(), GoodDb());
        fs::permissions(f.db(), fs::perms::owner_write);
      },
      Outcome::kNoConnection, "没有读取它的权限", true);
  cases.emplace_back(
      "read-only folder and file",
      [](const ProgramFolder& f) {
        WriteText(f.db(), GoodDb());
        fs::permissions(f.db(),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(f.source(), fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
      },
      Outcome::kAnswers, "", true);
  return cases;
}

// Every case once, for the count in the test log.
const std::vector<DamageCase>& Cases() {
  static const std::vector<DamageCase> cases = DamageCases();
  return cases;
}

// Runs body for every case in a fresh program folder, as the case's user.
void ForEachCase(const std::function<void(const DamageCase&, const ProgramFolder&)>& body) {
  for (const DamageCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    ProgramFolder folder;
    c.make(folder);
    body(c, folder);
  }
  std::printf("%zu damaged-file cases\n", Cases().size());
}

// The window: one lookup of a number the file has, one of a number it has
// not, one rejected; Esc closes it.
TEST(DamagedDatabase, TheWindowAnswersRightOrShowsTheErrorBox) {
  ForEachCase([](const DamageCase& c, const ProgramFolder& folder) {
    if (!c.cli_path.empty()) return;
    std::optional<AsNobody> user;
    if (c.as_nobody) user.emplace();
    WindowSession session(folder.path());
    ASSERT_TRUE(session.loaded());
    for (const QString& number : {kFound, kNotFound}) {
      SCOPED_TRACE(number.toStdString());
      const WindowSession::Lookup got = session.LookUp(number);
      const QString right = number == kFound ? kFoundLines : MissingLines(number);
      switch (c.outcome) {
        case Outcome::kAnswers:
          EXPECT_EQ(got.result, right);
          EXPECT_TRUE(got.boxes.empty());
          break;
        case Outcome::kNoConnection:
          EXPECT_EQ(got.result, MissingLines(number));
          ASSERT_EQ(got.boxes.size(), 1u);
          EXPECT_EQ(got.boxes[0], ConnectionUnusableText());
          break;
        case Outcome::kQueryFails:
          EXPECT_EQ(got.result, MissingLines(number));
          ASSERT_EQ(got.boxes.size(), 1u);
          EXPECT_EQ(got.boxes[0].toStdString(), c.says);
          break;
        case Outcome::kAnswersOrFails:
          if (got.boxes.empty()) {
            EXPECT_EQ(got.result, right);
          } else {
            EXPECT_EQ(got.boxes.size(), 1u);
            EXPECT_EQ(got.result, MissingLines(number));
          }
          break;
      }
    }
    // A rejected number never reaches the result lines, whatever the file.
    const WindowSession::Lookup rejected = session.LookUp(QStringLiteral("23800138000"));
    EXPECT_EQ(rejected.boxes.back(),
              QStringLiteral("您的输入有误，请查看您输入的第一位是否错误！"));
    EXPECT_TRUE(session.Close());
  });
}

std::string CliPath(const DamageCase& c, const ProgramFolder& folder) {
  return c.cli_path.empty() ? folder.db().string() : (folder.path() / c.cli_path).string();
}

bool ProgramsRunAsNobody() {
  if (geteuid() != 0) return true;
  AsNobody user;
  // access() would judge by the real user, root; ask for the effective one.
  return faccessat(AT_FDCWD, kLookupProgram, X_OK, AT_EACCESS) == 0;
}

TEST(DamagedDatabase, ZorvaneLookupAnswersRightOrSaysItCannot) {
  const bool can_switch = ProgramsRunAsNobody();
  ForEachCase([&](const DamageCase& c, const ProgramFolder& folder) {
    if (c.as_nobody && !can_switch) return;  // the build folder is closed to others
    const zorvane_test::Run run = RunProgram(
        kLookupProgram, {"--db", CliPath(c, folder), "13800138000"}, {.as_nobody = c.as_nobody});
    if (c.outcome == Outcome::kAnswers ||
        (c.outcome == Outcome::kAnswersOrFails && run.status == 0)) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, ConsoleText(kFoundLines));
      EXPECT_EQ(run.err, "");
      return;
    }
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, ConsoleText(MissingLines(kFound)));
    if (c.outcome == Outcome::kNoConnection) {
      EXPECT_EQ(run.err, ConnectionUnusableText().toStdString() + "\n");
    } else if (c.outcome == Outcome::kQueryFails) {
      EXPECT_EQ(run.err, c.says + "\n");
    }
  });
}

TEST(DamagedDatabase, TheBatchAnswersRightOrSaysWhyNot) {
  const bool can_switch = ProgramsRunAsNobody();
  ForEachCase([&](const DamageCase& c, const ProgramFolder& folder) {
    if (c.as_nobody && !can_switch) return;
    const zorvane_test::Run run =
        RunProgram(kLookupProgram, {"--batch", "--db", CliPath(c, folder)},
                   {.stdin_text = "13800138000\n13900000000\n", .as_nobody = c.as_nobody});
    const std::string answers = std::string(
                                    "input\tstatus\tblock\tcarrier\tarea\tprovince\tcity\t"
                                    "zip\tarea_code\n") +
                                kBatchFound + "\n" + kBatchNotFound + "\n";
    if (c.outcome == Outcome::kAnswers ||
        (c.outcome == Outcome::kAnswersOrFails && run.status == 0)) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, answers);
      return;
    }
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("zorvane-lookup: ")) << run.err;
    if (c.outcome == Outcome::kNoConnection) {
      EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    } else if (c.outcome == Outcome::kQueryFails) {
      EXPECT_EQ(run.err, "zorvane-lookup: the database cannot answer the window's statement: " +
                             c.says + "\n");
    }
  });
}

// The window's file changed while its connection is open: replaced by
// rename, deleted, rewritten in place (as cp over it does) or cut short. The
// connection answers from the file as it was when it opened, every time.
TEST(DatabaseChangedWhileOpen, TheWindowAnswersFromTheFileItOpened) {
  const std::pair<const char*, std::function<void(const fs::path&)>> changes[] = {
      {"renamed over",
       [](const fs::path& db) {
         WriteText(db.parent_path() / "new.dat", OtherDb());
         fs::rename(db.parent_path() / "new.dat", db);
       }},
      {"deleted", [](const fs::path& db) { fs::remove(db); }},
      {"rewritten in place", [](const fs::path& db) { WriteText(db, OtherDb()); }},
      {"truncated to nothing", [](const fs::path& db) { fs::resize_file(db, 0); }},
      {"cut to one page", [](const fs::path& db) { fs::resize_file(db, kPage); }},
      {"cut to half", [](const fs::path& db) { fs::resize_file(db, GoodDb().size() / 2); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    ProgramFolder folder;
    WriteText(folder.db(), GoodDb());
    WindowSession session(folder.path());
    ASSERT_TRUE(session.loaded());
    change(folder.db());
    // Numbers whose pages the connection has not read before the change, too.
    for (const QString& number : {kFound, kNotFound, kFound}) {
      const WindowSession::Lookup got = session.LookUp(number);
      EXPECT_EQ(got.result, number == kFound ? kFoundLines : MissingLines(number));
      EXPECT_TRUE(got.boxes.empty());
    }
    EXPECT_TRUE(session.Close());
  }
}

}  // namespace
}  // namespace reliability
