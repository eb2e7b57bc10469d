// The decomposition's arithmetic decides how every input is treated, so the
// tables below pin it for valid numbers, malformed text and extreme values.
#include <gtest/gtest.h>

#include <limits>

#include "lookup/decompose.h"
#include "lookup/query_view.h"
#include "platform/gbk.h"

namespace {

struct Case {
  const char* text;  // UTF-8 here; the program sees it in GBK
  std::int64_t value;
  std::int32_t leading;
  const char* block;
};

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

const Case kCases[] = {
    // What the number box can hold.
    {"13800138000", 13800138000, 1, "1380013"},
    {"10000000000", 10000000000, 1, "1000000"},
    {"19999999999", 19999999999, 1, "1999999"},
    {"99999999999", 99999999999, 9, "9999999"},
    {"23800138000", 23800138000, 2, "2380013"},
    {"", 0, 0, "0000000"},
    {"abc", 0, 0, "0000000"},
    {"-", 0, 0, "0000000"},
    {"1380013800", 1380013800, 0, "0138001"},
    {"01380013800", 1380013800, 0, "0138001"},
    {" 1380013800", 1380013800, 0, "0138001"},
    {"+8613800138", 8613800138, 0, "0861380"},
    {"138 0013 80", 138, 0, "0000000"},
    {"138-0013-80", 138, 0, "0000000"},
    {"1.38e10", 13800000000, 1, "1380000"},
    {"1.38E10", 13800000000, 1, "1380000"},
    {"1.38d10", 13800000000, 1, "1380000"},
    {"1.38D10", 13800000000, 1, "1380000"},
    {"13800138e3", 13800138000, 1, "1380013"},
    {"1e11", 100000000000, 10, "10000000"},
    {"1e", 1, 0, "0000000"},
    {"1e+", 1, 0, "0000000"},
    {"-0.5", 0, 0, "0000000"},
    {"-1", -1, -1, "-1-1-1-1-1-1-1"},
    {"-1380013800", -1380013800, -1, "-1-2-4-9-1-1-2"},
    {"9e99", kMin, -922337204, "-922337204-7-9-6-5-8-8"},
    {"-9e99", kMin, -922337204, "-922337204-7-9-6-5-8-8"},
    // Longer texts never come from the box but decompose all the same.
    {"138001380001", 138001380001, 13, "13800138"},
    {"013800138000", 13800138000, 1, "1380013"},
    {"+8613800138000", 8613800138000, 861, "861380013"},
    {"13800138000abc", 13800138000, 1, "1380013"},
    {"13800138000.9", 13800138000, 1, "1380013"},
    {"  \t13800138000", 13800138000, 1, "1380013"},
    {"１３８００１３８０００", 13800138000, 1, "1380013"},
    {"－13800138000", -13800138000, -2, "-2-4-9-1-1-2-4"},
    {"\xE3\x80\x80"
     "13800138000",
     13800138000, 1, "1380013"},  // ideographic space
    {"-13800138000", -13800138000, -2, "-2-4-9-1-1-2-4"},
    {"99999999999999999999", kMin, -922337204, "-922337204-7-9-6-5-8-8"},
    {"1e400", kMin, -922337204, "-922337204-7-9-6-5-8-8"},
    {"1e-400", 0, 0, "0000000"},
    // The negative case where floor gives -10: -9.8983 rounds down.
    {"-98983", -98983, -1, "-1-1-1-1-1-1-10"},
    // Not recognised: hexadecimal, separators, spelled infinity, a
    // double-byte character before the digits.
    {"0x1A", 0, 0, "0000000"},
    {"1,380", 1, 0, "0000000"},
    {"inf", 0, 0, "0000000"},
    {"nan", 0, 0, "0000000"},
    {"号13800138000", 0, 0, "0000000"},
    {"13800138000号", 13800138000, 1, "1380013"},
    {".5e11", 50000000000, 5, "5000000"},
    {"1.", 1, 0, "0000000"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DecomposeTable : public testing::TestWithParam<Case> {};

TEST_P(DecomposeTable, GivesValueLeadingDigitAndBlock) {
  const Case& c = GetParam();
  const 分解结果 r = 分解文本(platform::Utf8ToGbk(c.text));
  EXPECT_EQ(r.号码数值, c.value) << c.text;
  EXPECT_EQ(r.各位数字[0], c.leading) << c.text;
  EXPECT_EQ(r.号段, c.block) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, DecomposeTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) {
                           return "Case" + std::to_string(param.index);
                         });

TEST(Decompose, AllElevenElementsOfNegativeNumbers) {
  using Elements = std::array<std::int32_t, 11>;
  EXPECT_EQ(分解文本("-13800138000").各位数字, (Elements{-2, -4, -9, -1, -1, -2, -4, -8, 0, 0, 0}));
  EXPECT_EQ(分解文本("9e99").各位数字,
            (Elements{-922337204, -7, -9, -6, -5, -8, -8, -6, -9, -1, -8}));
  EXPECT_EQ(分解文本("13800138000").各位数字, (Elements{1, 3, 8, 0, 0, 1, 3, 8, 0, 0, 0}));
}

TEST(Decompose, IgnoresTheProcessLocaleDecimalPoint) {
  // A toolkit may switch to a locale whose decimal point is a comma.
  const char* previous = setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) setlocale(LC_NUMERIC, "C.UTF-8");
  EXPECT_EQ(分解文本("1.38e10").号段, "1380000");
  setlocale(LC_NUMERIC, saved.c_str());
}

class FakeBox : public 查询界面 {
 public:
  std::string text;
  std::string 号码框文本() const override { return text; }
  void 置号码框文本(std::string_view) override {}
  void 置结果框文本(std::string_view) override {}
  void 追加结果框文本(std::string_view) override {}
  void 置焦点于号码框() override {}
  void 显示提示框(std::string_view, std::string_view) override {}
  void 显示错误框(std::string_view) override {}
};

TEST(Decompose, SetsTheGlobalsFromTheNumberBoxAndKeepsThemUntilTheNext) {
  FakeBox box;
  box.text = "13800138000";
  分解号码(box);
  EXPECT_EQ(首位数字, 1);
  EXPECT_EQ(号段, "1380013");
  box.text = "-1";
  分解号码(box);
  EXPECT_EQ(首位数字, -1);
  EXPECT_EQ(号段, "-1-1-1-1-1-1-1");
}

TEST(Quote, DoublesSingleQuotesButNeverInsideADoubleByteCharacter) {
  struct {
    std::string in;
    std::string out;
  } const cases[] = {
      {"1380013", "'1380013'"},
      {"", "''"},
      {"-1-1-1-1-1-1-1", "'-1-1-1-1-1-1-1'"},
      {"a'b", "'a''b'"},
      {"''", "''''''"},
      // 0x81 0x27 is one double-byte unit whose second byte is a quote.
      {"\x81'x'", "'\x81'x'''"},
  };
  for (const auto& c : cases) EXPECT_EQ(加引号(c.in), c.out) << c.in;
}

}  // namespace
