// The three output formats of the batch lookup: the header, a record of each
// status, the escaping of inputs and of data, and valid UTF-8 whatever bytes
// the input or the database holds.
#include <gtest/gtest.h>

#include <string>

#include "tests/tools/test_batch_support.h"
#include "tools/zorvane_lookup/batch_text.h"

namespace {

using batch::Format;

class BatchRecords : public ::testing::Test {
 protected:
  std::string Run(Format format, std::string_view input,
                  batch::Encoding encoding = batch::Encoding::kUtf8) {
    return batch_test::ProcessLines(image_->image, format, {.encoding = encoding}, input);
  }

  // Place 2 holds every character that a format has to escape; place 3 holds
  // bytes that are not UTF-8 (北京 in GBK, and 0xFF).
  std::unique_ptr<batch_test::MemoryImage> image_ =
      batch_test::MakeImage({{"北京", "中国移动", "北京", "北京", "100000", "010"},
                             {"a,b \"q\"", "t\tx", "p\\q", "c\nd", "z\r", "0"},
                             {"\xB1\xB1\xBE\xA9", "\xFF", "ok", "\xE4\xB8", "1", "2"}},
                            {{1380013, 1}, {1380014, 2}, {1380015, 3}});
};

constexpr char kInput[] =
    "13800138000\n"
    "\n"
    "13800148000\r\n"
    " \t \r\n"
    "13800158000\n"
    "19999999999\n"
    "abc\n"
    "1e11\n"
    "a\tb\\c,\"d\"\x01\n"
    "138\xFF\n"
    "-1380013800";  // the last line has no newline

TEST_F(BatchRecords, Tsv) {
  EXPECT_EQ(Run(Format::kTsv, kInput),
            "input\tstatus\tblock\tcarrier\tarea\tprovince\tcity\tzip\tarea_code\n"
            "13800138000\tok\t1380013\t中国移动\t北京\t北京\t北京\t100000\t010\n"
            "13800148000\tok\t1380014\tt\\tx\ta,b \"q\"\tp\\\\q\tc\\nd\tz\\r\t0\n"
            "13800158000\tok\t1380015\t\uFFFD\t\uFFFD\uFFFD\uFFFD\uFFFD\tok\t\uFFFD\t1\t2\n"
            "19999999999\tnot_found\t1999999\t\t\t\t\t\t\n"
            "abc\tbad_length\t0000000\t\t\t\t\t\t\n"
            "1e11\tbad_prefix\t10000000\t\t\t\t\t\t\n"
            "a\\tb\\\\c,\"d\"\x01\tbad_length\t0000000\t\t\t\t\t\t\n"
            "138\uFFFD\tbad_length\t0000000\t\t\t\t\t\t\n"
            "-1380013800\tbad_prefix\t-1-2-4-9-1-1-2\t\t\t\t\t\t\n");
}

TEST_F(BatchRecords, CsvFollowsRfc4180) {
  EXPECT_EQ(Run(Format::kCsv, kInput),
            "input,status,block,carrier,area,province,city,zip,area_code\r\n"
            "13800138000,ok,1380013,中国移动,北京,北京,北京,100000,010\r\n"
            "13800148000,ok,1380014,t\tx,\"a,b \"\"q\"\"\",p\\q,\"c\nd\",\"z\r\",0\r\n"
            "13800158000,ok,1380015,\uFFFD,\uFFFD\uFFFD\uFFFD\uFFFD,ok,\uFFFD,1,2\r\n"
            "19999999999,not_found,1999999,,,,,,\r\n"
            "abc,bad_length,0000000,,,,,,\r\n"
            "1e11,bad_prefix,10000000,,,,,,\r\n"
            "\"a\tb\\c,\"\"d\"\"\x01\",bad_length,0000000,,,,,,\r\n"
            "138\uFFFD,bad_length,0000000,,,,,,\r\n"
            "-1380013800,bad_prefix,-1-2-4-9-1-1-2,,,,,,\r\n");
}

TEST_F(BatchRecords, JsonlIsOneValidObjectPerLine) {
  const std::string out = Run(Format::kJsonl, kInput);
  EXPECT_EQ(out,
            "{\"input\":\"13800138000\",\"status\":\"ok\",\"block\":\"1380013\",\"carrier\":"
            "\"中国移动\",\"area\":\"北京\",\"province\":\"北京\",\"city\":\"北京\",\"zip\":"
            "\"100000\",\"area_code\":\"010\"}\n"
            "{\"input\":\"13800148000\",\"status\":\"ok\",\"block\":\"1380014\",\"carrier\":"
            "\"t\\tx\",\"area\":\"a,b \\\"q\\\"\",\"province\":\"p\\\\q\",\"city\":\"c\\nd\","
            "\"zip\":\"z\\r\",\"area_code\":\"0\"}\n"
            "{\"input\":\"13800158000\",\"status\":\"ok\",\"block\":\"1380015\",\"carrier\":"
            "\"\uFFFD\",\"area\":\"\uFFFD\uFFFD\uFFFD\uFFFD\",\"province\":\"ok\",\"city\":"
            "\"\uFFFD\",\"zip\":\"1\",\"area_code\":\"2\"}\n"
            "{\"input\":\"19999999999\",\"status\":\"not_found\",\"block\":\"1999999\","
            "\"carrier\":null,\"area\":null,\"province\":null,\"city\":null,\"zip\":null,"
            "\"area_code\":null}\n"
            "{\"input\":\"abc\",\"status\":\"bad_length\",\"block\":\"0000000\",\"carrier\":null,"
            "\"area\":null,\"province\":null,\"city\":null,\"zip\":null,\"area_code\":null}\n"
            "{\"input\":\"1e11\",\"status\":\"bad_prefix\",\"block\":\"10000000\",\"carrier\":"
            "null,\"area\":null,\"province\":null,\"city\":null,\"zip\":null,\"area_code\":null}\n"
            "{\"input\":\"a\\tb\\\\c,\\\"d\\\"\\u0001\",\"status\":\"bad_length\",\"block\":"
            "\"0000000\",\"carrier\":null,\"area\":null,\"province\":null,\"city\":null,\"zip\":"
            "null,\"area_code\":null}\n"
            "{\"input\":\"138\uFFFD\",\"status\":\"bad_length\",\"block\":\"0000000\",\"carrier\":"
            "null,\"area\":null,\"province\":null,\"city\":null,\"zip\":null,\"area_code\":null}\n"
            "{\"input\":\"-1380013800\",\"status\":\"bad_prefix\",\"block\":\"-1-2-4-9-1-1-2\","
            "\"carrier\":null,\"area\":null,\"province\":null,\"city\":null,\"zip\":null,"
            "\"area_code\":null}\n");
  EXPECT_TRUE(batch::IsValidUtf8(out));
}

// GBK input is judged as it stands and shown in UTF-8: full-width digits
// take two bytes each in the box, so eleven of them are cut to five.
TEST_F(BatchRecords, GbkInputIsShownInUtf8) {
  const std::string fullwidth =
      "\xA3\xB1\xA3\xB3\xA3\xB8\xA3\xB0\xA3\xB0\xA3\xB1\xA3\xB3\xA3\xB8\xA3\xB0\xA3\xB0\xA3\xB0";
  EXPECT_EQ(Run(Format::kTsv, fullwidth + "\n\xB1\xB1\xBE\xA9 13800138000\n\xFF\n",
                batch::Encoding::kGbk),
            "input\tstatus\tblock\tcarrier\tarea\tprovince\tcity\tzip\tarea_code\n"
            "１３８００１３８０００\tbad_length\t0000001\t\t\t\t\t\t\n"
            "北京 13800138000\tbad_length\t0000000\t\t\t\t\t\t\n"
            "\uFFFD\tbad_length\t0000000\t\t\t\t\t\t\n");
}

TEST(BatchText, SanitizesEachIllFormedSequenceAsOneReplacement) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"abc", "abc"},
      {"中国", "中国"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // U+1F600 stays
      {"a\xFF"
       "b",
       "a\uFFFD"
       "b"},
      {"\xE4\xB8", "\uFFFD"},  // a truncated sequence: one
      {"\xE4\xB8"
       "a",
       "\uFFFD"
       "a"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},                      // overlong
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(batch::SanitizeUtf8(c.in), c.out) << c.in;
    EXPECT_EQ(batch::IsValidUtf8(c.in), std::string(c.in) == c.out) << c.in;
  }
}

}  // namespace
