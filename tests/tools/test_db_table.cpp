// Block tables as text: what is refused, what is accepted, and what the
// program will show (area and t).
#include <gtest/gtest.h>

#include "tests/tools/db_fixtures.h"
#include "tools/common/block_table.h"
#include "tools/common/table_io.h"

namespace {

using zdb::TableFormat;

constexpr std::string_view kTsvHeader = "num\tprovince\tcity\tzip\tareacode\tcarrier\n";
constexpr std::string_view kCsvHeader = "num,province,city,zip,areacode,carrier\n";
constexpr std::string_view kGoodRow = "1380013\t北京\t北京\t100000\t010\t移动\n";

struct Refusal {
  const char* name;
  TableFormat format;
  std::string text;
  std::string error;
};

class TableRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(TableRefusal, NamesTheLineAndTheReasonAndKeepsTheTable) {
  const Refusal& c = GetParam();
  zdb::BlockTable table;
  table.places.push_back({"x", "y", "", "", 0});
  std::string error;
  EXPECT_FALSE(zdb::ParseTable(c.text, c.format, &table, &error));
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(table.places.size(), 1u);
}

std::string Tsv(std::string_view rows) { return std::string(kTsvHeader) + std::string(rows); }
std::string Csv(std::string_view rows) { return std::string(kCsvHeader) + std::string(rows); }

INSTANTIATE_TEST_SUITE_P(
    Rows, TableRefusal,
    testing::Values(
        Refusal{"Empty", TableFormat::kTsv, "", "the file is empty (no header)"},
        Refusal{"HeaderOnly", TableFormat::kTsv, Tsv(""), "the table has no rows"},
        Refusal{"WrongHeader", TableFormat::kTsv, "num\tarea\tt\n" + std::string(kGoodRow),
                "line 1: the header must be: num TAB province TAB city TAB zip TAB areacode TAB "
                "carrier"},
        Refusal{"CsvReadAsTsv", TableFormat::kTsv, Csv("1380013,北京,北京,100000,010,移动\n"),
                "line 1: the header must be: num TAB province TAB city TAB zip TAB areacode TAB "
                "carrier"},
        Refusal{"FiveColumns", TableFormat::kTsv, Tsv("1380013\t北京\t北京\t100000\t010\n"),
                "line 2: wrong number of columns: 5 instead of 6"},
        Refusal{"SevenColumns", TableFormat::kTsv,
                Tsv("1380013\t北京\t北京\t100000\t010\t移动\tx\n"),
                "line 2: wrong number of columns: 7 instead of 6"},
        Refusal{"BlankLineInside", TableFormat::kTsv, Tsv(std::string(kGoodRow) + "\n" + "x"),
                "line 3: wrong number of columns: 1 instead of 6"},
        Refusal{"SixDigits", TableFormat::kTsv, Tsv("138001\t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block \"138001\" is not seven digits"},
        Refusal{"EightDigits", TableFormat::kTsv, Tsv("13800138\t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block \"13800138\" is not seven digits"},
        Refusal{"NotDigits", TableFormat::kTsv, Tsv("13800a3\t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block \"13800a3\" is not seven digits"},
        Refusal{"SignedBlock", TableFormat::kTsv, Tsv("+138001\t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block \"+138001\" is not seven digits"},
        Refusal{"BlankInBlock", TableFormat::kTsv, Tsv("1380013 \t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block \"1380013 \" is not seven digits"},
        // Stored as a number, 0380013 would come back as 380013.
        Refusal{"LeadingZero", TableFormat::kTsv, Tsv("0380013\t北京\t北京\t100000\t010\t移动\n"),
                "line 2: block 0380013 does not start with 1 (no mobile number does)"},
        Refusal{"Duplicate", TableFormat::kTsv,
                Tsv(std::string(kGoodRow) + "1300000\t山东\t济南\t250000\t0531\t联通\n" +
                    "1380013\t上海\t上海\t200000\t021\t移动\n"),
                "line 4: duplicate block 1380013 (first on line 2)"},
        Refusal{"UnknownCarrier", TableFormat::kTsv,
                Tsv("1380013\t北京\t北京\t100000\t010\t铁通\n"),
                "line 2: unknown carrier \"铁通\""},
        Refusal{"FullCarrierName", TableFormat::kTsv,
                Tsv("1380013\t北京\t北京\t100000\t010\t中国移动\n"),
                "line 2: unknown carrier \"中国移动\""},
        Refusal{"EmptyProvince", TableFormat::kTsv, Tsv("1380013\t\t北京\t100000\t010\t移动\n"),
                "line 2: empty province"},
        Refusal{"EmptyCity", TableFormat::kTsv, Tsv("1380013\t北京\t\t100000\t010\t移动\n"),
                "line 2: empty city"},
        Refusal{"ZipNotDigits", TableFormat::kTsv, Tsv("1380013\t北京\t北京\t10000O\t010\t移动\n"),
                "line 2: zip is not all digits: \"10000O\""},
        Refusal{"CodeNotDigits", TableFormat::kTsv,
                Tsv("1380013\t北京\t北京\t100000\t01-0\t移动\n"),
                "line 2: area code is not all digits: \"01-0\""},
        // 北京 in GBK: a table saved in the wrong encoding.
        Refusal{"Gbk", TableFormat::kTsv,
                Tsv("1380013\t\xB1\xB1\xBE\xA9\t北京\t100000\t010\t移动\n"),
                "line 2: province is not valid UTF-8"},
        Refusal{"ControlCharacter", TableFormat::kTsv,
                Tsv("1380013\t北京\t北\x01京\t100000\t010\t移动\n"),
                "line 2: city has a control character"},
        Refusal{"LoneCarriageReturn", TableFormat::kTsv,
                Tsv("1380013\t北京\t北京\r\t100000\t010\t移动\n"),
                "line 2: city has a control character"},
        Refusal{"BlankAtEnd", TableFormat::kTsv, Tsv("1380013\t北京 \t北京\t100000\t010\t移动\n"),
                "line 2: province has a blank at its start or end"},
        Refusal{"CsvOpenQuote", TableFormat::kCsv, Csv("1380013,\"北京,北京,100000,010,移动\n"),
                "line 2: quoted field not closed on its line"},
        Refusal{"CsvLineBreakInField", TableFormat::kCsv,
                Csv("1380013,\"北\n京\",北京,100000,010,移动\n"),
                "line 2: quoted field not closed on its line"},
        Refusal{"CsvStrayQuote", TableFormat::kCsv, Csv("1380013,北\"京,北京,100000,010,移动\n"),
                "line 2: quote inside an unquoted field"},
        Refusal{"CsvTextAfterQuote", TableFormat::kCsv,
                Csv("1380013,\"北京\"x,北京,100000,010,移动\n"),
                "line 2: text after a closing quote"},
        Refusal{"CsvTrailingComma", TableFormat::kCsv, Csv("1380013,北京,北京,100000,010,移动,\n"),
                "line 2: wrong number of columns: 7 instead of 6"}),
    [](const testing::TestParamInfo<Refusal>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(TableParse, AcceptsByteOrderMarkCrLfAndNoFinalNewline) {
  const std::string text =
      "\xEF\xBB\xBFnum,province,city,zip,areacode,carrier\r\n"
      "1380013,北京,北京,100000,010,移动\r\n"
      "1300000,\"山东\",济南,250000,0531,联通";
  zdb::BlockTable table;
  std::string error;
  ASSERT_TRUE(zdb::ParseTable(text, TableFormat::kCsv, &table, &error)) << error;
  ASSERT_EQ(table.blocks.size(), 2u);
  // Sorted by block whatever the input order.
  EXPECT_EQ(table.blocks[0].num, 1300000u);
  EXPECT_EQ(table.PlaceOf(table.blocks[0]).province, "山东");
  EXPECT_EQ(table.blocks[1].num, 1380013u);
}

TEST(TableParse, SharesOnePlaceBetweenBlocksWithTheSameValues) {
  const std::string text =
      Tsv("1300000\t广东\t广州\t510000\t020\t移动\n"
          "1300001\t广东\t广州\t510000\t020\t移动\n"
          "1300002\t广东\t广州\t510000\t020\t联通\n");
  zdb::BlockTable table;
  std::string error;
  ASSERT_TRUE(zdb::ParseTable(text, TableFormat::kTsv, &table, &error)) << error;
  EXPECT_EQ(table.places.size(), 2u);
  EXPECT_EQ(table.blocks[0].place, table.blocks[1].place);
}

TEST(TableFormatting, TsvAndCsvRoundTripTheirOwnOutput) {
  zdb::BlockTable table;
  std::string error;
  ASSERT_TRUE(zdb::ParseTable(db_test::kSmallTsv, TableFormat::kTsv, &table, &error)) << error;
  EXPECT_EQ(zdb::FormatTable(table, TableFormat::kTsv), db_test::kSmallTsv);

  // A comma and a quote in a value need CSV quoting.
  table.places[0].city = "济南,\"历下\"";
  const std::string csv = zdb::FormatTable(table, TableFormat::kCsv);
  EXPECT_NE(csv.find("1300000,山东,\"济南,\"\"历下\"\"\",250000,0531,联通\r\n"), std::string::npos);
  zdb::BlockTable back;
  ASSERT_TRUE(zdb::ParseTable(csv, TableFormat::kCsv, &back, &error)) << error;
  EXPECT_EQ(zdb::FormatTable(back, TableFormat::kCsv), csv);
}

TEST(TableFormatting, FormatFollowsTheFileName) {
  EXPECT_EQ(zdb::TableFormatOfPath("a/b.csv"), TableFormat::kCsv);
  EXPECT_EQ(zdb::TableFormatOfPath("B.CSV"), TableFormat::kCsv);
  EXPECT_EQ(zdb::TableFormatOfPath("b.tsv"), TableFormat::kTsv);
  EXPECT_EQ(zdb::TableFormatOfPath("blocks"), TableFormat::kTsv);
}

struct Shown {
  std::string province;
  std::string city;
  std::string carrier;
  std::string area;
  std::string t;
};

TEST(ShownTexts, AreaAndCarrierAsTheProgramShowsThem) {
  const Shown cases[] = {
      {"广东", "广州", "移动", "广东 广州", "中国移动"},
      {"北京", "北京", "联通", "北京", "中国联通"},
      {"重庆", "重庆", "电信", "重庆", "中国电信"},
      {"吉林", "吉林", "广电", "吉林", "中国广电"},
      {"上海", "上海", "移动虚拟", "上海", "中国移动(虚拟运营商)"},
      {"四川", "成都", "联通虚拟", "四川 成都", "中国联通(虚拟运营商)"},
      {"天津", "天津", "电信虚拟", "天津", "中国电信(虚拟运营商)"},
      {"湖南", "长沙", "广电虚拟", "湖南 长沙", "中国广电(虚拟运营商)"},
      {"重庆", "重庆", "未知", "重庆", "未知"},
  };
  for (const Shown& c : cases) {
    const auto carrier = zdb::CarrierByShortName(c.carrier);
    ASSERT_TRUE(carrier) << c.carrier;
    const zdb::Place place{c.province, c.city, "", "", *carrier};
    EXPECT_EQ(place.Area(), c.area);
    EXPECT_EQ(place.T(), c.t);
    EXPECT_EQ(zdb::CarrierByFullName(c.t), carrier);
  }
}

}  // namespace
