// The batch lookup's judgement: the fast path for the common line against
// the window's own code, and the --normalize forms.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/tools/test_batch_support.h"
#include "tools/zorvane_lookup/batch_judge.h"

namespace {

using batch::FastBlock;
using batch::JudgeAsWindow;
using batch::NormalizeNumber;

bool IsCommonLine(const std::string& text) {
  if (text.size() != 11 || text[0] != '1') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Every byte value at every place of a common line, so also the bytes next
// to the digits ('/' and ':') and those whose high nibble is 3 (';' to '?'),
// which a sloppy digit test lets through.
TEST(BatchFastPath, AnswersExactlyTheCommonLineAsTheWindowDoes) {
  for (std::size_t at = 0; at < 11; ++at) {
    for (int byte = 0; byte < 256; ++byte) {
      std::string text = "13800138000";
      text[at] = static_cast<char>(byte);
      const std::uint32_t fast = FastBlock(text.data());
      ASSERT_EQ(fast != 0, IsCommonLine(text)) << "byte " << byte << " at " << at;
      if (fast == 0) continue;
      const batch::WindowVerdict window = JudgeAsWindow(text);
      ASSERT_EQ(window.leading, 1) << text;
      ASSERT_EQ(window.block_number, fast) << text;
      ASSERT_EQ(window.block, text.substr(0, 7)) << text;
    }
  }
}

TEST(BatchFastPath, AgreesWithTheWindowOnRandomElevenByteTexts) {
  // Digits most of the time, so that many texts are common lines or nearly.
  const std::string alphabet = "0123456789011111/:;?+-. eE\t\xA3\xB1\xFA\xF0";
  std::mt19937_64 random(7);
  int common = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string text(11, '0');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    if (random() % 2 == 0) text[0] = '1';
    const std::uint32_t fast = FastBlock(text.data());
    ASSERT_EQ(fast != 0, IsCommonLine(text)) << text;
    if (fast == 0) continue;
    ++common;
    const batch::WindowVerdict window = JudgeAsWindow(text);
    ASSERT_EQ(window.leading, 1) << text;
    ASSERT_EQ(window.block_number, fast) << text;
  }
  EXPECT_GT(common, 100);  // the comparison was not empty
}

// Lines around the common one: mutated common lines, CR LF and LF ends,
// blanks, signs, exponents, full-width digits, bytes that are not UTF-8, and
// a last line without its newline.
std::string RandomLines(std::mt19937_64& random, int count) {
  static const std::vector<std::string> kPieces = {"0",
                                                   "1",
                                                   "2",
                                                   "3",
                                                   "4",
                                                   "5",
                                                   "6",
                                                   "7",
                                                   "8",
                                                   "9",
                                                   "1",
                                                   "3",
                                                   "8",
                                                   " ",
                                                   "\t",
                                                   "-",
                                                   "+",
                                                   ".",
                                                   "e",
                                                   "d",
                                                   "x",
                                                   "\r",
                                                   "\xEF\xBC\x91",
                                                   "\xE3\x80\x80",
                                                   "\xFF",
                                                   "\x80",
                                                   "\xE4\xB8",
                                                   "8613800138000",
                                                   "13800138000"};
  std::string text;
  for (int i = 0; i < count; ++i) {
    std::string line;
    if (random() % 2 == 0) {
      line.push_back('1');  // not = "1": GCC 12 misreads that assignment
      for (int k = 0; k < 10; ++k) line += static_cast<char>('0' + random() % 10);
      for (int m = static_cast<int>(random() % 3); m > 0; --m) {
        const std::size_t at = random() % (line.size() + 1);
        const std::string& piece = kPieces[random() % kPieces.size()];
        switch (random() % 3) {
          case 0:
            line.insert(at, piece);
            break;
          case 1:
            if (at < line.size()) line.erase(at, 1);
            break;
          default:
            if (at < line.size()) line.replace(at, 1, piece);
        }
      }
    } else {
      for (int k = static_cast<int>(random() % 17); k > 0; --k) {
        line += kPieces[random() % kPieces.size()];
      }
    }
    text += line;
    if (i + 1 < count || random() % 2 == 0) text += random() % 4 == 0 ? "\r\n" : "\n";
  }
  return text;
}

TEST(BatchFastPath, TheLoopWritesTheSameRecordsWithAndWithoutIt) {
  const auto image =
      batch_test::MakeImage({{"北京", "中国移动", "北京", "北京", "100000", "010"},
                             {"广东 广州", "中国联通", "广东", "广州", "510000", "020"}},
                            {{1380013, 1}, {1380014, 2}, {1380015, 1}, {1861234, 2}});
  std::mt19937_64 random(11);
  for (int round = 0; round < 20; ++round) {
    const std::string input = RandomLines(random, 5000);
    for (const bool normalize : {false, true}) {
      for (const batch::Format format :
           {batch::Format::kTsv, batch::Format::kCsv, batch::Format::kJsonl}) {
        batch::LineOptions fast{.normalize = normalize};
        batch::LineOptions general = fast;
        general.fast_path = false;
        const std::string expected = batch_test::ProcessLines(image->image, format, general, input);
        ASSERT_EQ(batch_test::ProcessLines(image->image, format, fast, input), expected)
            << "round " << round << " normalize " << normalize;
        // A small buffer, flushed every few records, gives the same bytes.
        ASSERT_EQ(batch_test::ProcessLines(image->image, format, fast, input, 600), expected);
      }
    }
  }
}

TEST(BatchNormalize, AcceptsThePastedFormsOfAnElevenDigitNumber) {
  struct Case {
    const char* text;
    const char* number;  // nullptr: judged as it stands
  };
  const Case cases[] = {
      {"13800138000", "13800138000"},
      {"  13800138000\t", "13800138000"},
      {"138 0013 8000", "13800138000"},
      {"138-0013-8000", "13800138000"},
      {"138.0013.8000", "13800138000"},
      {"138 - 0013 - 8000", "13800138000"},
      {"138\u20140013\u20138000", "13800138000"},  // em dash, en dash
      {"138\u22120013\uFF0D8000", "13800138000"},  // minus sign, full-width hyphen
      {"138\uFF0E0013\u00A08000", "13800138000"},  // full-width dot, no-break space
      {"\uFF11\uFF13\uFF18\uFF10\uFF10\uFF11\uFF13\uFF18\uFF10\uFF10\uFF10", "13800138000"},
      {"\u3000138 0013 8000\u3000", "13800138000"},  // ideographic spaces at the ends
      {"+86 138 0013 8000", "13800138000"},
      {"+8613800138000", "13800138000"},
      {"\uFF0B86-138-0013-8000", "13800138000"},  // full-width plus
      {"0086 13800138000", "13800138000"},
      {"86 13800138000", "13800138000"},
      {"8613800138000", "13800138000"},
      {"238 0013 8000", "23800138000"},  // eleven digits: the first digit judges it
      {"+86 238 0013 8000", "23800138000"},
      // Not an eleven-digit form: judged as the window judges it.
      {"138 0013 800", nullptr},
      {"1.38e10", nullptr},
      {"13800138000.", nullptr},
      {"-13800138000", nullptr},
      {"+13800138000", nullptr},
      {"138--0013", nullptr},
      {"138 0013 8000 ext 12", nullptr},
      {"+87 138 0013 8000", nullptr},
      {"86 86 13800138000", nullptr},
      {"(+86) 13800138000", nullptr},
      {"138_0013_8000", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> number = NormalizeNumber(c.text);
    if (c.number == nullptr) {
      EXPECT_FALSE(number.has_value()) << c.text << " gave " << number.value_or("");
    } else {
      EXPECT_EQ(number.value_or("(none)"), c.number) << c.text;
    }
  }
}

}  // namespace
