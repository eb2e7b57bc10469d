// A pasted text keeps what fits the box's 11 bytes, never half a character.
#include <gtest/gtest.h>

#include "lookup/number_box.h"
#include "platform/gbk.h"

namespace {

TEST(NumberBoxCut, KeepsWholeCharactersUpToElevenBytes) {
  struct {
    const char* pasted;  // UTF-8
    const char* kept;
  } const cases[] = {
      {"138001380001", "13800138000"},
      {"13800138000abc", "13800138000"},
      {"abc", "abc"},
      {"", ""},
      {"+86 13800138000", "+86 1380013"},
      {"１３８００１３８０００", "１３８００"},  // 22 bytes: five whole characters fit
      {"1３８００１３８０００", "1３８００１"},  // 1 + 5×2 = 11
      {"12３８００１３８０００", "12３８００"},  // the sixth would need bytes 11 and 12
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::GbkToUtf8(截取号码框容量(platform::Utf8ToGbk(c.pasted))), c.kept)
        << c.pasted;
  }
}

TEST(NumberBoxCut, AnInvalidTrailByteCountsAsItsOwnCharacter) {
  // 0x81 followed by a control byte is not a pair: each byte stands alone.
  std::string text = "1234567890\x81\x0A";
  EXPECT_EQ(截取号码框容量(text), "1234567890\x81");
  EXPECT_EQ(Gbk字符长度("\x81\x40"), 2u);
  EXPECT_EQ(Gbk字符长度("\x81\x7F"), 1u);
  EXPECT_EQ(Gbk字符长度("\x80\x40"), 1u);
}

}  // namespace
