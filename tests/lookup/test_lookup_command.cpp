// The lookup command's paths, observed through a recording window and the
// statements that reach SQLite.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lookup/data_components.h"
#include "lookup/decompose.h"
#include "lookup/lookup_command.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "tests/lookup/mobile_fixture.h"

namespace {

using platform::GbkToUtf8;

using platform::Utf8ToGbk;

// Every call the command makes on the window, in order, in UTF-8.
class RecordingView : public 查询界面 {
 public:
  std::string number;
  std::string result;
  std::vector<std::string> calls;

  std::string 号码框文本() const override { return number; }
  void 置号码框文本(std::string_view t) override {
    number = t;
    calls.push_back("number=" + GbkToUtf8(t));
  }
  void 置结果框文本(std::string_view t) override {
    result = t;
    calls.push_back("result=" + GbkToUtf8(t));
  }
  void 追加结果框文本(std::string_view t) override {
    result += t;
    calls.push_back("append=" + GbkToUtf8(t));
  }
  void 置焦点于号码框() override { calls.push_back("focus"); }
  void 显示提示框(std::string_view message, std::string_view title) override {
    calls.push_back("box=" + GbkToUtf8(title) + "|" + GbkToUtf8(message));
  }
  void 显示错误框(std::string_view description) override {
    calls.push_back("error=" + GbkToUtf8(description));
  }
};

// The statements prepared on any connection, recorded through an SQLite
// auto-extension that traces each new connection.
std::vector<std::string>& Statements() {
  static std::vector<std::string> statements;
  return statements;
}

int TraceStatement(unsigned, void*, void* stmt, void*) {
  // The statement as run, its bound values written back as literals.
  char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
  if (sql != nullptr) Statements().emplace_back(sql);
  sqlite3_free(sql);
  return 0;
}

int InstallTrace(sqlite3* db, char**, const sqlite3_api_routines*) {
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, TraceStatement, nullptr);
  return SQLITE_OK;
}

const char kWelcome[] =
    "欢迎登录 =朔禾科技= "
    "实用软件，精品教程，手把手教您做软件。我们的宗旨是：『打造属于客户自己的软件平台！』";
const char kTitle[] = "朔禾精灵提示您";
const char kDigitCount[] = "您的输入有误，请查看您输入的号码位数是否错误";
const char kFirstDigit[] = "您的输入有误，请查看您输入的第一位是否错误！";
const char kCarrierMissing[] = "  该号码的供应商为：数据不存在！\r\n";
const char kAreaMissing[] = "   该号码的归属地为：数据不存在,请检查输入或更新数据库。\r\n";

class LookupCommand : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(InstallTrace));
  }
  static void TearDownTestSuite() { sqlite3_reset_auto_extension(); }

  void SetUp() override {
    ado::Initialize();
    database_ = MakeDatabase(fixture_, "mobile.dat", R"sql(
      CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);
      INSERT INTO Mobile VALUES ('1380013', '北京', '中国移动');
      INSERT INTO Mobile VALUES ('1380000', '广东 广州', '中国移动');
      INSERT INTO Mobile VALUES ('1390000', NULL, '中国联通');
    )sql");
    ASSERT_TRUE(connection_.连接数据库文件(Utf8ToGbk(database_), kDatabasePassword));
    Statements().clear();
  }

  // Runs the command on a number box holding `text` (UTF-8).
  void Run(const std::string& text) {
    view_.number = Utf8ToGbk(text);
    view_.calls.clear();
    执行查询(view_, connection_, recordset_);
  }

  std::string Result() const { return GbkToUtf8(view_.result); }

  zorvane_test::TempDir fixture_;
  std::string database_;
  RecordingView view_;
  数据库连接 connection_;
  记录集 recordset_{view_};
};

TEST_F(LookupCommand, AcceptedAndFoundWritesThreeLinesThenEmptiesTheNumberBox) {
  Run("13800138000");
  EXPECT_EQ(view_.calls, (std::vector<std::string>{
                             "result=",
                             "append=您查询的电话号码为：13800138000\r\n",
                             "append=   该号码的供应商为：中国移动\r\n",
                             "append=   该号码的归属地为：北京\r\n",
                             "number=",
                         }));
  ASSERT_EQ(Statements().size(), 1u);
  EXPECT_EQ(Statements()[0], "select * from Mobile where num='1380013'");
}

TEST_F(LookupCommand, AcceptedAndNotFoundWritesBothMissingLines) {
  Run("13700000000");
  EXPECT_EQ(Result(),
            std::string("您查询的电话号码为：13700000000\r\n") + kCarrierMissing + kAreaMissing);
  EXPECT_EQ(view_.number, "");
}

TEST_F(LookupCommand, ANullAreaIsReadAsEmptyNotAsMissing) {
  Run("13900000000");
  EXPECT_EQ(Result(),
            "您查询的电话号码为：13900000000\r\n   该号码的供应商为：中国联通\r\n   "
            "该号码的归属地为：\r\n");
}

TEST_F(LookupCommand, PastedExponentFormsAreAcceptedAndShownAsTyped) {
  Run("1.38e10");
  EXPECT_EQ(Statements().back(), "select * from Mobile where num='1380000'");
  EXPECT_EQ(Result(),
            "您查询的电话号码为：1.38e10\r\n   该号码的供应商为：中国移动\r\n   "
            "该号码的归属地为：广东 广州\r\n");
  Run("13800138e3");
  EXPECT_EQ(Statements().back(), "select * from Mobile where num='1380013'");
}

struct Rejection {
  const char* text;
  const char* statement_block;
  const char* message;
};

void PrintTo(const Rejection& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class LookupRejection : public LookupCommand, public testing::WithParamInterface<Rejection> {};

TEST_P(LookupRejection, QueriesFirstThenShowsTheMessageAndResetsTheBoxes) {
  const Rejection& c = GetParam();
  Run(c.text);
  ASSERT_EQ(Statements().size(), 1u);
  EXPECT_EQ(Statements()[0],
            std::string("select * from Mobile where num='") + c.statement_block + "'");
  EXPECT_EQ(view_.calls, (std::vector<std::string>{
                             "result=",
                             std::string("box=") + kTitle + "|" + c.message,
                             "number=",
                             std::string("result=") + kWelcome,
                             "focus",
                             "number=",
                         }));
}

INSTANTIATE_TEST_SUITE_P(Texts, LookupRejection,
                         testing::Values(Rejection{"", "0000000", kDigitCount},
                                         Rejection{"1380013800", "0138001", kDigitCount},
                                         Rejection{"01380013800", "0138001", kDigitCount},
                                         Rejection{"-", "0000000", kDigitCount},
                                         Rejection{"138-0013-80", "0000000", kDigitCount},
                                         Rejection{"abc", "0000000", kDigitCount},
                                         Rejection{"+86 1380013", "0000000", kDigitCount},
                                         Rejection{"23800138000", "2380013", kFirstDigit},
                                         Rejection{"-1380013800", "-1-2-4-9-1-1-2", kFirstDigit},
                                         Rejection{"1e11", "10000000", kFirstDigit},
                                         Rejection{"9e99", "-922337204-7-9-6-5-8-8", kFirstDigit}),
                         [](const testing::TestParamInfo<Rejection>& param) {
                           return "Case" + std::to_string(param.index);
                         });

TEST_F(LookupCommand, ASecondRunFindsTheBoxEmptiedByTheFirst) {
  Run("13800138000");
  view_.calls.clear();
  执行查询(view_, connection_, recordset_);
  EXPECT_EQ(view_.calls.at(1), std::string("box=") + kTitle + "|" + kDigitCount);
  EXPECT_EQ(Result(), kWelcome);
}

TEST_F(LookupCommand, OnlyEnterRunsItWhateverTheModifiers) {
  struct {
    std::int32_t key;
    std::int32_t modifiers;
    bool runs;
  } const keys[] = {{13, 0, true},    {13, 1, true},  {13, 7, true}, {10, 0, false},
                    {0x31, 0, false}, {27, 0, false}, {9, 2, false}};
  for (const auto& k : keys) {
    view_.number = Utf8ToGbk("13800138000");
    view_.calls.clear();
    编辑框手机号_按下某键(view_, connection_, recordset_, k.key, k.modifiers);
    EXPECT_EQ(!view_.calls.empty(), k.runs) << k.key << "+" << k.modifiers;
  }
}

TEST(LookupCommandWithoutDatabase, ShowsTheErrorBoxBeforeAnyLineThenTheMissingLines) {
  zorvane_test::TempDir dir;
  RecordingView view;
  数据库连接 connection;
  记录集 recordset(view);
  EXPECT_FALSE(
      connection.连接数据库文件(Utf8ToGbk((dir / "absent.dat").string()), kDatabasePassword));
  EXPECT_TRUE(view.calls.empty()) << "a failed connect shows nothing";

  for (int run = 0; run < 2; ++run) {
    view.number = Utf8ToGbk("13800138000");
    view.calls.clear();
    执行查询(view, connection, recordset);
    ASSERT_EQ(view.calls.size(), 6u);
    EXPECT_EQ(view.calls[0], "result=");
    EXPECT_EQ(view.calls[1].rfind("error=", 0), 0u) << view.calls[1];
    EXPECT_GT(view.calls[1].size(), std::string("error=").size()) << "the box names the cause";
    EXPECT_EQ(view.calls[3], std::string("append=") + kCarrierMissing);
    EXPECT_EQ(view.calls[4], std::string("append=") + kAreaMissing);
  }
}

}  // namespace
