// The batch lookup and the window never disagree: the same texts, pasted
// into the window's number box and looked up by the window's own command,
// and given to zorvane-lookup --batch as lines, on the same database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/data_components.h"
#include "lookup/decompose.h"
#include "lookup/lookup_command.h"
#include "lookup/number_box.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "tests/support/fixture_db.h"
#include "tests/tools/test_batch_support.h"

namespace {

using platform::GbkToUtf8;
using platform::Utf8ToGbk;

// The window as the lookup command sees it: what it shows, in GBK.
class WindowView : public 查询界面 {
 public:
  std::string number;
  std::string result;
  std::string message;

  void Paste(std::string_view gbk) { number = 截取号码框容量(gbk); }
  std::string 号码框文本() const override { return number; }
  void 置号码框文本(std::string_view t) override { number = t; }
  void 置结果框文本(std::string_view t) override { result = t; }
  void 追加结果框文本(std::string_view t) override { result += t; }
  void 置焦点于号码框() override {}
  void 显示提示框(std::string_view m, std::string_view) override { message = m; }
  void 显示错误框(std::string_view d) override { message = d; }
};

struct Case {
  const char* text;  // as pasted, UTF-8
  const char* status;
  const char* block;
};

// The texts of the number box's edge cases, and longer ones that a paste
// cuts to the box's 11 bytes.
const Case kCases[] = {
    {"13800138000", "ok", "1380013"},
    {"13800000000", "ok", "1380000"},
    {"10000000000", "ok", "1000000"},
    {"19999989999", "ok", "1999998"},
    {"18612340000", "ok", "1861234"},
    {"19999999999", "not_found", "1999999"},
    {"13900000000", "not_found", "1390000"},
    {"99999999999", "bad_prefix", "9999999"},
    {"23800138000", "bad_prefix", "2380013"},
    {"abc", "bad_length", "0000000"},
    {"-", "bad_length", "0000000"},
    {"1380013800", "bad_length", "0138001"},
    {"01380013800", "bad_length", "0138001"},
    {" 1380013800", "bad_length", "0138001"},
    {"+8613800138", "bad_length", "0861380"},
    {"138 0013 80", "bad_length", "0000000"},
    {"138-0013-80", "bad_length", "0000000"},
    {"1.38e10", "ok", "1380000"},
    {"1.38E10", "ok", "1380000"},
    {"1.38d10", "ok", "1380000"},
    {"13800138e3", "ok", "1380013"},
    {"1e10", "ok", "1000000"},
    {"1e11", "bad_prefix", "10000000"},
    {"1e", "bad_length", "0000000"},
    {"-0.5", "bad_length", "0000000"},
    {"-1", "bad_prefix", "-1-1-1-1-1-1-1"},
    {"-1380013800", "bad_prefix", "-1-2-4-9-1-1-2"},
    {"9e99", "bad_prefix", "-922337204-7-9-6-5-8-8"},
    {"-9e99", "bad_prefix", "-922337204-7-9-6-5-8-8"},
    {"0x1A", "bad_length", "0000000"},
    {"1,380", "bad_length", "0000000"},
    // Cut by the paste:
    {"138001380001", "ok", "1380013"},             // to 13800138000
    {"13800138000abc", "ok", "1380013"},           // to 13800138000
    {"13800138000.9", "ok", "1380013"},            // to 13800138000
    {"013800138000", "bad_length", "0138001"},     // to 01380013800
    {"+86 13800138000", "bad_length", "0000000"},  // to +86 1380013, read as 86
    {"+8613800138000", "bad_length", "0861380"},   // to +8613800138
    {"\t13800138000", "bad_length", "0138001"},    // to a tab and ten digits
    {"-13800138000", "bad_prefix", "-1-2-4-9-1-1-2"},
    {"99999999999999999999", "bad_prefix", "9999999"},
    {"１３８００１３８０００", "bad_length", "0000001"},  // five full-width digits fit
    {"1３80013800", "bad_length", "0138001"},             // one full-width digit: 11 bytes
    {"\u300013800138000", "bad_length", "0013800"},       // an ideographic space and nine
    {"北京13800138000", "bad_length", "0000000"},
};

TEST(BatchWindow, JudgesEveryTextAsTheWindowDoes) {
  zorvane_test::TempDir dir;
  batch_test::WriteFixtureDb(dir / "Mobile_DB.dat");
  std::string input;
  for (const Case& c : kCases) input += std::string(c.text) + "\n";
  batch_test::WriteText(dir / "input.txt", input);
  const auto run =
      batch_test::RunLookup({"--batch", "--quiet", "--db", (dir / "Mobile_DB.dat").string(),
                             "--input", (dir / "input.txt").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> records = batch_test::Lines(run.out);
  ASSERT_EQ(records.size(), std::size(kCases) + 1);

  ado::Initialize();
  WindowView window;
  数据库连接 数据库连接1;
  记录集 记录集1(window);
  ASSERT_TRUE(
      数据库连接1.连接数据库文件(Utf8ToGbk((dir / "Mobile_DB.dat").string()), kDatabasePassword));
  const 查询文本& texts = 查询文本表();
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Case& c = kCases[i];
    window.message.clear();
    window.Paste(Utf8ToGbk(c.text));
    执行查询(window, 数据库连接1, 记录集1);
    std::string status = "ok";
    if (window.message == texts.位数错误) {
      status = "bad_length";
    } else if (window.message == texts.首位错误) {
      status = "bad_prefix";
    } else if (window.result.find(texts.供应商缺失行) != std::string::npos) {
      status = "not_found";
    }
    const std::vector<std::string> fields = batch_test::Fields(records[i + 1]);
    ASSERT_EQ(fields.size(), 9u) << records[i + 1];
    EXPECT_EQ(status, c.status) << "window on " << c.text;
    EXPECT_EQ(GbkToUtf8(号段), c.block) << "window on " << c.text;
    EXPECT_EQ(fields[1], status) << "batch on " << c.text;
    EXPECT_EQ(fields[2], GbkToUtf8(号段)) << "batch on " << c.text;
    if (status == "ok") {
      // The carrier and location lines show what the record holds.
      const std::string shown = GbkToUtf8(window.result);
      EXPECT_NE(shown.find("该号码的供应商为：" + fields[3] + "\r\n"), std::string::npos) << c.text;
      EXPECT_NE(shown.find("该号码的归属地为：" + fields[4] + "\r\n"), std::string::npos) << c.text;
    } else {
      EXPECT_EQ(fields[3] + fields[4] + fields[5] + fields[6] + fields[7] + fields[8], "");
    }
  }
}

}  // namespace
