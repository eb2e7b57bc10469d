// phone.dat: a good file becomes the same rows as a table, a damaged one is
// refused with the place and the reason.
#include <gtest/gtest.h>

#include "tests/support/fixture_db.h"
#include "tests/tools/db_fixtures.h"
#include "tools/common/phone_dat.h"
#include "tools/common/table_io.h"

namespace {

using db_test::MakePhoneDat;
using db_test::PhoneDatEntry;

const std::vector<std::string> kRecords = {
    "北京|北京|100000|010",
    "广东|广州|510000|020",
    "广东|深圳|518000|0755",
};

// Every carrier type once.
const std::vector<PhoneDatEntry> kEntries = {
    {1300000, 1, 2}, {1330000, 1, 3}, {1380013, 0, 1}, {1700000, 2, 4},
    {1700500, 2, 5}, {1703000, 0, 6}, {1920000, 2, 7}, {1921000, 1, 8},
};

constexpr std::string_view kExpectedTsv =
    "num\tprovince\tcity\tzip\tareacode\tcarrier\n"
    "1300000\t广东\t广州\t510000\t020\t联通\n"
    "1330000\t广东\t广州\t510000\t020\t电信\n"
    "1380013\t北京\t北京\t100000\t010\t移动\n"
    "1700000\t广东\t深圳\t518000\t0755\t电信虚拟\n"
    "1700500\t广东\t深圳\t518000\t0755\t联通虚拟\n"
    "1703000\t北京\t北京\t100000\t010\t移动虚拟\n"
    "1920000\t广东\t深圳\t518000\t0755\t广电\n"
    "1921000\t广东\t广州\t510000\t020\t广电虚拟\n";

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(PhoneDat, ReadsEveryCarrierTypeAndTheVersion) {
  const std::string dat = MakePhoneDat("2302", kRecords, kEntries);
  zdb::PhoneDat parsed;
  std::string error;
  ASSERT_TRUE(zdb::ParsePhoneDat(Bytes(dat), &parsed, &error)) << error;
  EXPECT_EQ(parsed.version, "2302");
  EXPECT_EQ(parsed.data_version, "2023-02");
  EXPECT_EQ(zdb::FormatTable(parsed.table, zdb::TableFormat::kTsv), kExpectedTsv);
}

TEST(PhoneDat, ThroughTheDatabaseAndBackToTheSameTable) {
  zorvane_test::TempDir dir;
  db_test::WriteText(dir / "phone.dat", MakePhoneDat("2302", kRecords, kEntries));
  const auto import = db_test::RunDb(
      {"import-phonedat", (dir / "phone.dat").string(), "--out", (dir / "m.dat").string()});
  ASSERT_EQ(import.status, 0) << import.err;
  const auto exported =
      db_test::RunDb({"export", (dir / "m.dat").string(), "--out", (dir / "m.tsv").string()});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(db_test::ReadBytes(dir / "m.tsv"), kExpectedTsv);
  const auto info = db_test::RunDb({"info", (dir / "m.dat").string()});
  EXPECT_NE(info.out.find("data version: 2023-02\n"), std::string::npos) << info.out;
}

struct Damage {
  const char* name;
  std::string bytes;
  std::string error;
};

std::string Good() { return MakePhoneDat("2302", kRecords, kEntries); }

std::string With(std::string s, std::size_t at, std::string_view bytes) {
  s.replace(at, bytes.size(), bytes);
  return s;
}

// The offset of the index in Good(), and of its entry i.
std::size_t IndexAt() {
  std::size_t records = 0;
  for (const std::string& r : kRecords) records += r.size() + 1;
  return 8 + records;
}
std::size_t EntryAt(std::size_t i) { return IndexAt() + 9 * i; }

std::string Le32(std::uint32_t v) {
  std::string s;
  db_test::Put32(&s, v);
  return s;
}

class PhoneDatDamage : public testing::TestWithParam<Damage> {};

TEST_P(PhoneDatDamage, IsRefusedWithTheReason) {
  const Damage& c = GetParam();
  zdb::PhoneDat parsed;
  parsed.version = "keep";
  std::string error;
  EXPECT_FALSE(zdb::ParsePhoneDat(Bytes(c.bytes), &parsed, &error));
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(parsed.version, "keep");
}

INSTANTIATE_TEST_SUITE_P(
    Files, PhoneDatDamage,
    testing::Values(
        Damage{"Short", "2302\x08", "shorter than its 8-byte header"},
        Damage{"VersionNotDigits", With(Good(), 0, "23a2"), "the version is not four ASCII digits"},
        Damage{"VersionNoMonth", With(Good(), 0, "2313"), "the version 2313 names no month"},
        Damage{
            "IndexBeyondEnd", With(Good(), 4, Le32(100000)),
            "index offset 100000 lies outside the file (8.." + std::to_string(Good().size()) + ")"},
        Damage{"IndexInHeader", With(Good(), 4, Le32(4)),
               "index offset 4 lies outside the file (8.." + std::to_string(Good().size()) + ")"},
        Damage{"IndexNotWholeEntries", Good() + "x",
               "the index (73 bytes) is not a whole number of 9-byte entries"},
        Damage{"Unsorted", With(Good(), EntryAt(2), Le32(1320000)),
               "index entry 3: block 1320000 does not follow block 1330000 (the index must ascend "
               "without duplicates)"},
        Damage{"Duplicate", With(Good(), EntryAt(1), Le32(1300000)),
               "index entry 2: block 1300000 does not follow block 1300000 (the index must ascend "
               "without duplicates)"},
        Damage{"BlockNotSevenDigits", With(Good(), EntryAt(0), Le32(999999)),
               "index entry 1: block 999999 is not a seven-digit block starting with 1"},
        Damage{"NegativeBlock", With(Good(), EntryAt(0), Le32(0xFFFFFFFF)),
               "index entry 1: block -1 is not a seven-digit block starting with 1"},
        Damage{"RecordInIndex",
               With(Good(), EntryAt(0) + 4, Le32(static_cast<std::uint32_t>(IndexAt()))),
               "index entry 1: record offset " + std::to_string(IndexAt()) +
                   " lies outside the records (8.." + std::to_string(IndexAt()) + ")"},
        Damage{"RecordInHeader", With(Good(), EntryAt(0) + 4, Le32(3)),
               "index entry 1: record offset 3 lies outside the records (8.." +
                   std::to_string(IndexAt()) + ")"},
        Damage{"RecordMidway", With(Good(), EntryAt(0) + 4, Le32(10)),
               "index entry 1: record at byte 10 does not start a record"},
        Damage{"NoTerminator", With(Good(), IndexAt() - 1, "x"),
               "index entry 4: record at byte " +
                   std::to_string(8 + kRecords[0].size() + kRecords[1].size() + 2) +
                   " has no terminating zero byte"},
        Damage{"TypeZero", With(Good(), EntryAt(0) + 8, std::string(1, '\0')),
               "index entry 1: carrier type 0 is not 1..8"},
        Damage{"TypeNine", With(Good(), EntryAt(7) + 8, "\x09"),
               "index entry 8: carrier type 9 is not 1..8"},
        Damage{
            "ThreeFields", MakePhoneDat("2302", {"北京|北京|100000"}, {{1380013, 0, 1}}),
            "index entry 1: record at byte 8: 3 fields instead of 4 (province|city|zip|areacode)"},
        Damage{
            "FiveFields", MakePhoneDat("2302", {"北京|北京|100000|010|x"}, {{1380013, 0, 1}}),
            "index entry 1: record at byte 8: 5 fields instead of 4 (province|city|zip|areacode)"},
        Damage{"NotUtf8",
               MakePhoneDat("2302", {"\xB1\xB1\xBE\xA9|北京|100000|010"}, {{1380013, 0, 1}}),
               "index entry 1: province is not valid UTF-8"},
        Damage{"EmptyCity", MakePhoneDat("2302", {"北京||100000|010"}, {{1380013, 0, 1}}),
               "index entry 1: empty city"},
        Damage{"NoEntries", MakePhoneDat("2302", kRecords, {}), "the table has no rows"}),
    [](const testing::TestParamInfo<Damage>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(PhoneDat, ADamagedFileWritesNothing) {
  zorvane_test::TempDir dir;
  db_test::WriteText(dir / "phone.dat", With(Good(), EntryAt(0) + 8, "\x09"));
  const auto run = db_test::RunDb(
      {"import-phonedat", (dir / "phone.dat").string(), "--out", (dir / "m.dat").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorvane-db: " + (dir / "phone.dat").string() +
                         ": index entry 1: carrier type 9 is not 1..8\n");
  EXPECT_EQ(db_test::FilesIn(dir.path()), std::vector<std::string>{"phone.dat"});
}

}  // namespace
