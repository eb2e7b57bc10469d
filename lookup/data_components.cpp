#include "lookup/data_components.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "lookup/query_view.h"
#include "platform/gbk.h"

namespace {

constexpr std::int32_t kStaticCursor = 3;
constexpr std::int32_t kOptimisticLock = 3;
constexpr std::int32_t kConnectUnspecified = -1;

template <typename... Args>
std::string 格式化(const char* 格式, Args... 参数) {
  char 缓冲[64];
  const int n = std::snprintf(缓冲, sizeof 缓冲, 格式, 参数...);
  if (n <= 0) return {};
  const auto 长度 = static_cast<std::size_t>(n);
  if (长度 < sizeof 缓冲) return std::string(缓冲, 长度);
  // Longer than the buffer: a large double in fixed notation has up to 309
  // digits before the point.
  std::string 文本(长度, '\0');
  std::snprintf(文本.data(), 文本.size() + 1, 格式, 参数...);
  return 文本;
}

// A currency amount (units of 1/10000) as plain decimal text without
// trailing zeros, as a number-to-text conversion prints it.
std::string 货币文本(std::int64_t 万分之一) {
  const bool 负 = 万分之一 < 0;
  const std::uint64_t 绝对值 =
      负 ? 0 - static_cast<std::uint64_t>(万分之一) : static_cast<std::uint64_t>(万分之一);
  std::string 文本 =
      格式化("%s%" PRIu64 ".%04" PRIu64, 负 ? "-" : "", 绝对值 / 10000, 绝对值 % 10000);
  while (文本.back() == '0') 文本.pop_back();
  if (文本.back() == '.') 文本.pop_back();
  return 文本;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void 日期自天数(std::int64_t 天, std::int64_t& 年, unsigned& 月, unsigned& 日) {
  天 += 719468;
  const std::int64_t 纪元 = (天 >= 0 ? 天 : 天 - 146096) / 146097;
  const auto 纪内天 = static_cast<unsigned>(天 - 纪元 * 146097);
  const unsigned 纪内年 = (纪内天 - 纪内天 / 1460 + 纪内天 / 36524 - 纪内天 / 146096) / 365;
  const unsigned 年内天 = 纪内天 - (365 * 纪内年 + 纪内年 / 4 - 纪内年 / 100);
  const unsigned mp = (5 * 年内天 + 2) / 153;
  日 = 年内天 - (153 * mp + 2) / 5 + 1;
  月 = mp < 10 ? mp + 3 : mp - 9;
  年 = static_cast<std::int64_t>(纪内年) + 纪元 * 400 + (月 <= 2 ? 1 : 0);
}

// A date value (days since 1899-12-30; for negative values the fraction still
// counts forward within the day) rounded to the nearest second.
std::string 日期文本(double 值) {
  if (!std::isfinite(值) || std::fabs(值) > 3e6) return {};
  const double 整天 = std::trunc(值);
  const double 秒 = std::round(std::fabs(值 - 整天) * 86400.0);
  std::int64_t 天 = static_cast<std::int64_t>(整天) - 25569;  // 1899-12-30 → 1970-01-01
  auto 日内秒 = static_cast<std::int64_t>(秒);
  if (日内秒 >= 86400) {
    天 += 1;
    日内秒 -= 86400;
  }
  std::int64_t 年;
  unsigned 月;
  unsigned 日;
  日期自天数(天, 年, 月, 日);
  if (年 < 100 || 年 > 9999) return {};
  return 格式化("%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(年), 月, 日,
                static_cast<int>(日内秒 / 3600), static_cast<int>(日内秒 / 60 % 60),
                static_cast<int>(日内秒 % 60));
}

}  // namespace

std::string 字段值转文本(const ado::Variant& 值) {
  const auto 低32位 = static_cast<std::int32_t>(static_cast<std::uint32_t>(值.integer));
  switch (值.vt) {
    case ado::kVtEmpty:
    case ado::kVtNull:
      return {};
    case ado::kVtI2:
      return std::to_string(static_cast<std::int16_t>(值.integer));
    case ado::kVtI4:
    case ado::kVtUI4:
    case ado::kVtInt:
    case ado::kVtUInt:
    case ado::kVtI8:
    case ado::kVtUI8:
      return std::to_string(低32位);
    case ado::kVtR4:
      return 格式化("%.4f", static_cast<double>(static_cast<float>(值.real)));
    case ado::kVtR8:
    case ado::kVtDecimal:
      return 格式化("%.8f", 值.real);
    case ado::kVtCurrency:
      return 货币文本(值.integer);
    case ado::kVtDate:
      return 日期文本(值.real);
    case ado::kVtBstr:
    case ado::kVtLpWStr:
      return platform::UnicodeToGbk(值.text);
    case ado::kVtLpStr:
      return 值.narrow;
    case ado::kVtBool:
      return 值.integer != 0 ? "TRUE" : "FALSE";
    case ado::kVtI1:
    case ado::kVtUI1:
      return std::to_string(static_cast<std::uint8_t>(值.integer));
    case ado::kVtUI2:
      return std::to_string(static_cast<std::uint16_t>(值.integer));
    case ado::kVtVoid:
      return 格式化("%8x", static_cast<unsigned>(static_cast<std::uint32_t>(值.integer)));
    case ado::kVtBlob:
    case ado::kVtBlobObject:
    case ado::kVtArrayUI1:
      return "[BLOB]";
    default:
      return "UN_KNOW";
  }
}

数据库连接::数据库连接(std::unique_ptr<ado::Connection> 连接对象)
    : 连接对象_(std::move(连接对象)) {}

数据库连接::~数据库连接() {
  if (连接对象_ && 连接对象_->IsOpen()) (void)连接对象_->Close();
}

bool 数据库连接::连接数据库文件(std::string_view 文件路径, std::string_view 密码) {
  std::string 文本 = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=";
  文本 += 文件路径;
  if (!密码.empty()) {
    文本 += ";Jet OLEDB:Database Password=";
    文本 += 密码;
    文本 += ";";
  }
  连接文本_ = std::move(文本);

  if (!连接对象_) return false;
  if (连接对象_->IsOpen()) (void)连接对象_->Close();
  return 连接对象_->Open(platform::GbkToUnicode(连接文本_), u"", u"", kConnectUnspecified).ok();
}

记录集::记录集(错误提示& 提示, std::unique_ptr<ado::Recordset> 记录集对象)
    : 提示_(提示), 记录集对象_(std::move(记录集对象)) {}

记录集::~记录集() {
  if (记录集对象_ && 记录集对象_->IsOpen()) (void)记录集对象_->Close();
}

bool 记录集::绑定连接(数据库连接& 连接) {
  绑定的连接_ = &连接;
  return true;
}

bool 记录集::打开记录集(std::string_view 源文本, std::int32_t 源类型,
                        std::optional<std::int32_t> 游标位置) {
  if (游标位置 && (*游标位置 < ado::kUseNone || *游标位置 > ado::kUseClient)) return false;
  if (源类型 == ado::kCmdText) {
    if (记录集对象_) (void)记录集对象_->SetCursorLocation(游标位置.value_or(ado::kUseClient));
  } else if (源类型 != ado::kCmdTable) {
    return false;
  }

  if (!源文本.empty()) 源文本_ = std::string(源文本);
  if (绑定的连接_ == nullptr || !记录集对象_ || 源文本_.empty()) return false;

  if (记录集对象_->IsOpen()) {
    (void)记录集对象_->SetFilter(u"");
    (void)记录集对象_->Close();
  }

  ado::Status 状态 = 记录集对象_->Open(platform::GbkToUnicode(源文本_), 绑定的连接_->连接对象(),
                                       kStaticCursor, kOptimisticLock, 源类型);
  if (状态.ok()) return true;
  提示_.显示错误框(platform::UnicodeToGbk(状态.description()));
  return false;
}

bool 记录集::读字段文本(std::string_view 字段名, std::string& 变量) {
  std::string 值文本;
  bool 成功 = false;
  if (记录集对象_ && 记录集对象_->IsOpen() && !记录集对象_->Eof()) {
    ado::Variant 值;
    if (记录集对象_->Collect(platform::GbkToUnicode(字段名), &值).ok()) {
      值文本 = 字段值转文本(值);
      成功 = true;
    }
  }
  变量 = std::move(值文本);
  return 成功;
}
