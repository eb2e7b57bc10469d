// Text crosses between GBK and Unicode only through these conversions; a lost
// character must become exactly one replacement, never cut the text short.
#include <gtest/gtest.h>

#include "platform/gbk.h"

namespace {

using platform::GbkToUnicode;
using platform::GbkToUtf8;
using platform::UnicodeToGbk;
using platform::Utf8ToGbk;

TEST(Gbk, RoundTripsChineseAndAscii) {
  const std::string utf8 = "您查询的电话号码为：13800138000\r\n『打造』,！";
  const std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.substr(0, 2), "\xC4\xFA");  // 您
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
  EXPECT_EQ(UnicodeToGbk(GbkToUnicode(gbk)), gbk);
  EXPECT_EQ(GbkToUnicode("\xB1\xB1\xBE\xA9"), u"北京");
}

TEST(Gbk, CharactersWithoutAGbkFormBecomeOneQuestionMarkEach) {
  struct {
    std::u16string unicode;
    std::string gbk;
  } const cases[] = {
      {u"a\U0001F600b", "a?b"},                                 // outside the BMP: a surrogate pair
      {u"x\u0E01y", "x?y"},                                     // Thai has no GBK form
      {std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b"},  // unpaired surrogate
      {u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UnicodeToGbk(c.unicode), c.gbk);
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xFF"
                      "b"),
            "a?b");  // not UTF-8 at all
}

TEST(Gbk, InvalidGbkBytesAreReplacedAndTheRestKept) {
  EXPECT_EQ(GbkToUnicode("a\x81\x20"
                         "b"),
            u"a\uFFFD b");                         // a lead byte without its trail
  EXPECT_EQ(GbkToUnicode("ab\x81"), u"ab\uFFFD");  // cut at the end
  EXPECT_EQ(GbkToUtf8("\xFF"
                      "1"),
            "\xEF\xBF\xBD"
            "1");
}

TEST(Gbk, LongTextsConvertWhole) {
  std::string gbk;
  for (int i = 0; i < 5000; ++i) gbk += "\xB1\xB1";  // 北, more than one buffer's worth
  EXPECT_EQ(GbkToUnicode(gbk).size(), 5000u);
  EXPECT_EQ(UnicodeToGbk(GbkToUnicode(gbk)), gbk);
}

}  // namespace
