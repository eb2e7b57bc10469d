// The two data components: how they connect, open and read, what each failure
// leaves behind, and how a field value becomes text.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "lookup/data_components.h"
#include "lookup/lookup_command.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "tests/lookup/mobile_fixture.h"

namespace {

using platform::GbkToUtf8;

using platform::Utf8ToGbk;

class ErrorBoxes : public 错误提示 {
 public:
  std::vector<std::string> shown;
  void 显示错误框(std::string_view description) override {
    shown.push_back(GbkToUtf8(description));
  }
};

TEST(ConnectionText, IsBuiltVerbatimWithThePasswordPieceOnlyWhenThereIsOne) {
  struct {
    const char* path;
    const char* password;
    const char* text;
  } const cases[] = {
      {"Source\\Mobile_DB.dat", "Rk#5pLx%qN2*zVm8^",
       "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=Source\\Mobile_DB.dat;Jet OLEDB:Database "
       "Password=Rk#5pLx%qN2*zVm8^;"},
      {"a.dat", "", "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=a.dat"},
      {"x;y.dat", "p;q",
       "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=x;y.dat;Jet OLEDB:Database "
       "Password=p;q;"},
  };
  ado::Initialize();
  for (const auto& c : cases) {
    数据库连接 connection;
    EXPECT_FALSE(connection.连接数据库文件(c.path, c.password));
    EXPECT_EQ(connection.连接文本(), c.text);
  }
}

class DataComponents : public testing::Test {
 protected:
  void SetUp() override {
    ado::Initialize();
    database_ = MakeDatabase(fixture_, "mobile.dat", R"sql(
      CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);
      INSERT INTO Mobile VALUES ('1380013', '北京', '中国移动');
      INSERT INTO Mobile VALUES ('1500000', '上海', '中国联通');
      INSERT INTO Mobile VALUES ('1500000', '天津', '中国电信');
      INSERT INTO Mobile VALUES ('1390000', NULL, '中国联通');
    )sql");
  }

  bool Connect(const std::string& password = kDatabasePassword) {
    return connection_.连接数据库文件(Utf8ToGbk(database_), password);
  }
  bool Query(const std::string& block) {
    recordset_.绑定连接(connection_);
    return recordset_.打开记录集("select * from Mobile where num='" + block + "'", 1);
  }
  std::string Read(const char* field, bool* ok) {
    std::string text = "stale";
    *ok = recordset_.读字段文本(field, text);
    return GbkToUtf8(text);
  }

  zorvane_test::TempDir fixture_;
  std::string database_;
  ErrorBoxes boxes_;
  数据库连接 connection_;
  记录集 recordset_{boxes_};
};

TEST_F(DataComponents, AFoundBlockReadsBothFields) {
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(Query("1380013"));
  bool ok = false;
  EXPECT_EQ(Read("area", &ok), "北京");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Read("t", &ok), "中国移动");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(DataComponents, NoRowAnAbsentFieldAndANullEachLeaveTheEmptyText) {
  ASSERT_TRUE(Connect());
  bool ok = true;
  ASSERT_TRUE(Query("1999999"));
  EXPECT_EQ(Read("area", &ok), "");
  EXPECT_FALSE(ok) << "no row";
  EXPECT_EQ(Read("t", &ok), "");
  EXPECT_FALSE(ok);

  ASSERT_TRUE(Query("1380013"));
  EXPECT_EQ(Read("nosuchfield", &ok), "");
  EXPECT_FALSE(ok) << "absent field";
  EXPECT_EQ(Read("t", &ok), "中国移动") << "the other read is unaffected";

  ASSERT_TRUE(Query("1390000"));
  EXPECT_EQ(Read("area", &ok), "");
  EXPECT_TRUE(ok) << "a null reads as the empty text and succeeds";
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(DataComponents, TwoRowsForOneBlockGiveBothFieldsFromTheFirst) {
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(Query("1500000"));
  bool ok = false;
  EXPECT_EQ(Read("area", &ok), "上海");
  EXPECT_EQ(Read("t", &ok), "中国联通");
}

TEST_F(DataComponents, SuccessiveOpensCloseThePreviousResultAndReuseTheConnection) {
  ASSERT_TRUE(Connect());
  bool ok = false;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(Query("1380013"));
    EXPECT_EQ(Read("area", &ok), "北京");
    ASSERT_TRUE(Query("1999999"));
    EXPECT_EQ(Read("area", &ok), "");
  }
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(DataComponents, AWrongOrMissingPasswordKeepsTheConnectionClosedSilently) {
  EXPECT_FALSE(Connect("wrong"));
  EXPECT_FALSE(Connect(""));
  EXPECT_TRUE(boxes_.shown.empty()) << "connecting shows nothing";
  EXPECT_FALSE(Query("1380013"));
  ASSERT_EQ(boxes_.shown.size(), 1u) << "each open on a closed connection shows the error box";
  EXPECT_FALSE(boxes_.shown[0].empty());
  bool ok = true;
  EXPECT_EQ(Read("area", &ok), "");
  EXPECT_FALSE(ok);
}

TEST_F(DataComponents, AStatementTheDatabaseRejectsShowsTheErrorBox) {
  ASSERT_TRUE(Connect());
  recordset_.绑定连接(connection_);
  EXPECT_FALSE(recordset_.打开记录集("select * from Nothing where num='1'", 1));
  EXPECT_FALSE(recordset_.打开记录集("select * from Mobile where nokey='1'", 1));
  EXPECT_EQ(boxes_.shown.size(), 2u);
}

TEST_F(DataComponents, BadArgumentsAndMissingObjectsFailWithoutShowingAnything) {
  ASSERT_TRUE(Connect());
  recordset_.绑定连接(connection_);
  EXPECT_FALSE(recordset_.打开记录集("select 1", 1, 0)) << "cursor location below 1";
  EXPECT_FALSE(recordset_.打开记录集("select 1", 1, 4)) << "cursor location above 3";
  EXPECT_FALSE(recordset_.打开记录集("select 1", 3)) << "unknown source kind";
  EXPECT_TRUE(recordset_.打开记录集("Mobile", 2)) << "a table name opens all its rows";

  记录集 unbound(boxes_);
  EXPECT_FALSE(unbound.打开记录集("select 1", 1)) << "no connection bound";

  记录集 without_object(boxes_, nullptr);
  EXPECT_TRUE(without_object.绑定连接(connection_));
  EXPECT_FALSE(without_object.打开记录集("select 1", 1));
  std::string text = "stale";
  EXPECT_FALSE(without_object.读字段文本("area", text));
  EXPECT_EQ(text, "");

  数据库连接 no_connection_object(nullptr);
  EXPECT_FALSE(no_connection_object.连接数据库文件(Utf8ToGbk(database_), kDatabasePassword));
  EXPECT_TRUE(boxes_.shown.empty());

  // A bound component without a connection object: the open fails without harm.
  记录集 orphan(boxes_);
  orphan.绑定连接(no_connection_object);
  EXPECT_FALSE(orphan.打开记录集("select 1", 1));
}

TEST_F(DataComponents, AnEmptySourceReusesTheRememberedOne) {
  ASSERT_TRUE(Connect());
  ASSERT_TRUE(Query("1380013"));
  EXPECT_TRUE(recordset_.打开记录集("", 1));
  bool ok = false;
  EXPECT_EQ(Read("area", &ok), "北京");
}

// Jet-style column types through a fixture, read as the program reads fields.
TEST(FieldValueText, JetColumnTypesReadAsText) {
  ado::Initialize();
  zorvane_test::TempDir dir;
  const std::string path = MakeDatabase(dir, "types.dat", R"sql(
    CREATE TABLE T(yes YESNO, no BIT, b BYTE, s SHORT, l LONG, f SINGLE, d DOUBLE,
                   c CURRENCY, dt DATETIME, tx TEXT, m MEMO, bin LONGBINARY, n TEXT, u);
    INSERT INTO T VALUES (1, 0, 200, -5, -70000, 2.5, 2.5, 12.5, '2011-05-03 14:07:09',
                          '北京', 'x', X'0102', NULL, 7);
  )sql");
  ErrorBoxes boxes;
  数据库连接 connection;
  ASSERT_TRUE(connection.连接数据库文件(Utf8ToGbk(path), kDatabasePassword));
  记录集 recordset(boxes);
  recordset.绑定连接(connection);
  ASSERT_TRUE(recordset.打开记录集("select * from T", 1));
  struct {
    const char* field;
    const char* text;
  } const cases[] = {
      {"yes", "TRUE"},     {"no", "FALSE"}, {"b", "200"},
      {"s", "-5"},         {"l", "-70000"}, {"f", "2.5000"},
      {"d", "2.50000000"}, {"c", "12.5"},   {"dt", "2011-05-03 14:07:09"},
      {"tx", "北京"},      {"m", "x"},      {"bin", "[BLOB]"},
      {"n", ""},           {"u", "7"},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_TRUE(recordset.读字段文本(c.field, text)) << c.field;
    EXPECT_EQ(GbkToUtf8(text), c.text) << c.field;
  }
}

ado::Variant Value(std::uint16_t vt, std::int64_t integer = 0, double real = 0) {
  ado::Variant v;
  v.vt = vt;
  v.integer = integer;
  v.real = real;
  return v;
}

// Kinds that no column of ours produces, straight from values.
TEST(FieldValueText, EveryValueKind) {
  ado::Variant wide = Value(ado::kVtLpWStr);
  wide.text = u"广东 广州";
  ado::Variant narrow = Value(ado::kVtLpStr);
  narrow.narrow = Utf8ToGbk("上海");
  struct {
    ado::Variant value;
    const char* text;
  } const cases[] = {
      {Value(ado::kVtEmpty), ""},
      {Value(ado::kVtNull), ""},
      {Value(ado::kVtI2, -32768), "-32768"},
      {Value(ado::kVtI4, 2147483647), "2147483647"},
      {Value(ado::kVtR4, 0, 0.1), "0.1000"},
      {Value(ado::kVtR8, 0, -1.0 / 3), "-0.33333333"},
      {Value(ado::kVtDecimal, 0, 1.5), "1.50000000"},
      {Value(ado::kVtCurrency, -1234567), "-123.4567"},
      {Value(ado::kVtCurrency, 30000), "3"},
      {Value(ado::kVtBool, -1), "TRUE"},
      {Value(ado::kVtBool, 0), "FALSE"},
      {Value(ado::kVtI1, -1), "255"},
      {Value(ado::kVtUI1, 255), "255"},
      {Value(ado::kVtUI2, 65535), "65535"},
      {Value(ado::kVtUI4, 4294967295), "-1"},
      {Value(ado::kVtInt, -7), "-7"},
      {Value(ado::kVtUInt, 4294967294), "-2"},
      {Value(ado::kVtI8, 0x100000005), "5"},
      {Value(ado::kVtUI8, 0x7FFFFFFF80000000), "-2147483648"},
      {Value(ado::kVtVoid, 0xBEEF), "    beef"},
      {Value(ado::kVtBlob), "[BLOB]"},
      {Value(ado::kVtBlobObject), "[BLOB]"},
      {Value(ado::kVtArrayUI1), "[BLOB]"},
      {Value(9), "UN_KNOW"},
      {Value(0x200C), "UN_KNOW"},
      {wide, "广东 广州"},
      {narrow, "上海"},
      // Dates: days since 1899-12-30, rounded to the nearest second.
      {Value(ado::kVtDate, 0, 40666.588298611), "2011-05-03 14:07:09"},
      {Value(ado::kVtDate, 0, 0), "1899-12-30 00:00:00"},
      {Value(ado::kVtDate, 0, -1.25), "1899-12-29 06:00:00"},
      {Value(ado::kVtDate, 0, 1.0 - 0.4 / 86400), "1899-12-31 00:00:00"},
      {Value(ado::kVtDate, 0, 2958465.9999), "9999-12-31 23:59:51"},
      {Value(ado::kVtDate, 0, 2958466), ""},  // year 10000
      {Value(ado::kVtDate, 0, -657434), "0100-01-01 00:00:00"},
      {Value(ado::kVtDate, 0, -657435), ""},  // year 99
      {Value(ado::kVtDate, 0, NAN), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkToUtf8(字段值转文本(c.value)), c.text) << "vt " << c.value.vt;
  }
}

// A double far beyond any buffer's width is written whole (found by the
// database fuzzer: a DOUBLE column holding 1e300 read past the buffer).
TEST(FieldValueText, HugeRealsAreWrittenWhole) {
  for (std::uint16_t vt : {ado::kVtR8, ado::kVtDecimal}) {
    const std::string huge = 字段值转文本(Value(vt, 0, 1e300));
    EXPECT_EQ(huge.size(), 301u + 9u) << "vt " << vt;
    EXPECT_TRUE(huge.starts_with("10000000000000000525")) << huge;
    EXPECT_TRUE(huge.ends_with(".00000000")) << huge;
    const std::string lowest = 字段值转文本(Value(vt, 0, -1.7976931348623157e308));
    EXPECT_EQ(lowest.size(), 1u + 309u + 9u) << "vt " << vt;
    EXPECT_TRUE(lowest.starts_with("-17976931348623157")) << lowest;
  }
}

}  // namespace
