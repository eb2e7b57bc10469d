#include "platform/ado.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "platform/connection_text.h"
#include "platform/provider_file.h"

namespace ado {
namespace {

// The descriptions, worded as a Chinese-language provider words them.
constexpr std::u16string_view kObjectOpen = u"对象打开时，不允许操作。";
constexpr std::u16string_view kObjectClosed = u"对象关闭时，不允许操作。";
constexpr std::u16string_view kBadArgument =
    u"参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。";
constexpr std::u16string_view kNoCurrentRow =
    u"BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。";
constexpr std::u16string_view kNoSuchField = u"在对应所需名称或序数的集合中，未找到项目。";
constexpr std::u16string_view kConnectionUnusable =
    u"连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。";
constexpr std::u16string_view kBadConnectionText =
    u"连接字符串的格式不正确：每一项都应为“名称=值”，引号必须成对。";
constexpr std::u16string_view kNoProvider = u"连接字符串中没有指定提供程序（Provider）。";
constexpr std::u16string_view kNoDataSource = u"连接字符串中没有指定数据源（Data Source）。";
constexpr std::u16string_view kBadPassword = u"不是有效的密码。";
constexpr std::u16string_view kNoCommandText = u"没有为记录集指定命令文本或表名。";
constexpr std::u16string_view kTextAfterStatement = u"在 SQL 语句结尾之后找到字符。";
constexpr std::u16string_view kNotReadOnly = u"数据库以只读方式打开，不能执行修改数据的语句。";
constexpr std::u16string_view kNoFilter = u"此提供程序不支持筛选条件。";

constexpr std::u16string_view kProviderKey = u"Provider";
constexpr std::u16string_view kDataSourceKey = u"Data Source";
constexpr std::u16string_view kPasswordKey = u"Jet OLEDB:Database Password";

// The largest file the provider reads: the number space holds at most a
// million blocks, and the shipped table of half a million takes 7 MB. A
// larger file is no location database, and is not read into memory.
constexpr std::int64_t kMaxFileBytes = 256LL << 20;

// More than any file it reads, so that a look-up reads the pages of the
// in-memory copy in place rather than copying them again into a page cache.
constexpr std::int64_t kMmapBytes = kMaxFileBytes;

Status Fail(std::u16string_view description) { return Status::Fail(std::u16string(description)); }

std::u16string Concat(std::initializer_list<std::u16string_view> parts) {
  std::u16string out;
  for (std::u16string_view part : parts) out += part;
  return out;
}

// ---- Text ----

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    bool good = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4);
    std::size_t k = 1;
    for (; good && k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        good = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (good && (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) {
      good = false;
    }
    if (!good) {
      out += u'\uFFFD';
      i += k > 1 ? k : 1;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Names compare as SQLite compares identifiers: ASCII letters without case.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// ---- Connection text ----

}  // namespace

// Parses "key=value; key=value". A value may be quoted with " or ' so that
// it holds a semicolon; blank pieces are skipped; the last of a repeated key
// counts.
bool ParseConnectionText(std::u16string_view text, ConnectionSettings* settings) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end_of_piece = text.find(u';', i);
    const std::size_t equals = text.find(u'=', i);
    if (equals == std::u16string_view::npos || equals > end_of_piece) {
      std::u16string_view piece = text.substr(i, end_of_piece - i);
      if (!Trim(piece).empty()) return false;
      if (end_of_piece == std::u16string_view::npos) break;
      i = end_of_piece + 1;
      continue;
    }
    const std::u16string_view key = Trim(text.substr(i, equals - i));
    if (key.empty()) return false;

    i = equals + 1;
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::u16string value;
    if (i < text.size() && (text[i] == u'"' || text[i] == u'\'')) {
      const char16_t quote = text[i++];
      for (;; ++i) {
        if (i >= text.size()) return false;
        if (text[i] != quote) {
          value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == quote) {
          value += quote;
          ++i;
        } else {
          break;
        }
      }
      ++i;
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i < text.size() && text[i] != u';') return false;
    } else {
      const std::size_t end = text.find(u';', i);
      value = Trim(text.substr(i, end == std::u16string_view::npos ? end : end - i));
      i = end == std::u16string_view::npos ? text.size() : end;
    }
    if (i < text.size()) ++i;  // the semicolon

    if (EqualsIgnoreCase(key, kProviderKey)) {
      settings->provider = std::move(value);
    } else if (EqualsIgnoreCase(key, kDataSourceKey)) {
      settings->data_source = std::move(value);
    } else if (EqualsIgnoreCase(key, kPasswordKey)) {
      settings->password = std::move(value);
    }
  }
  return true;
}

namespace {

// ---- The database file ----

struct DatabaseFile {
  std::string path;      // absolute, UTF-8, for the system
  std::u16string shown;  // the same, for descriptions
};

// Backslashes become separators; a relative path resolves against the
// current directory.
bool ResolvePath(std::u16string data_source, DatabaseFile* file) {
  for (char16_t& c : data_source) {
    if (c == u'\\') c = u'/';
  }
  std::string path = ToUtf8(data_source);
  if (path.front() != '/') {
    std::error_code error;
    std::filesystem::path here = std::filesystem::current_path(error);
    if (error) return false;
    std::string prefix = here.string();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    path = prefix + path;
  }
  file->shown = FromUtf8(path);
  file->path = std::move(path);
  return true;
}

// A copy of the whole database file. The connection answers from it, never
// from the file: a file replaced, deleted, cut short or rewritten in place
// while the program runs can neither change an answer nor fault a read, as
// a mapped file that shrinks would (SIGBUS) and as a page cache that mixes
// old pages with new ones could.
//
// The memory of a large copy is anonymous pages aligned to 2 MiB and asked
// for as transparent huge pages, which spares a page fault per 4 KiB: copying
// the shipped 7 MB file then takes 1 to 2 ms instead of 20 on a virtual
// machine. A small copy keeps ordinary pages; a huge one would cost more to
// clear than its few page faults.
class FileCopy {
 public:
  FileCopy(const FileCopy&) = delete;
  FileCopy& operator=(const FileCopy&) = delete;
  ~FileCopy() { ::munmap(mapped_, length_); }

  // Room for `capacity` bytes; null when the system has no memory for it.
  static std::unique_ptr<FileCopy> Allocate(std::size_t capacity) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const bool huge = capacity >= kHugePage;
    const std::size_t page = huge ? kHugePage : 4096;
    const std::size_t rounded = (std::max<std::size_t>(capacity, 1) + page - 1) / page * page;
    const std::size_t length = huge ? rounded + kHugePage : rounded;  // room to align the start
    void* mapped =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* start = static_cast<unsigned char*>(mapped);
    std::size_t offset = 0;
    if (huge) {
      offset = (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
      ::madvise(start + offset, rounded, MADV_HUGEPAGE);  // a hint: ordinary pages without it
    }
    return std::unique_ptr<FileCopy>(new FileCopy(mapped, length, start + offset));
  }

  unsigned char* data() const { return data_; }
  std::size_t size = 0;  // the bytes read

 private:
  FileCopy(void* mapped, std::size_t length, unsigned char* data)
      : mapped_(mapped), length_(length), data_(data) {}

  void* mapped_;
  std::size_t length_;
  unsigned char* data_;
};

// Reads the whole file, or says why not: missing and unreadable files are
// told apart here from those SQLite rejects, which SQLite itself cannot do.
Status ReadWholeFile(const DatabaseFile& file, std::unique_ptr<FileCopy>* copy) {
  if (file.path.find('\0') != std::string::npos) {
    return Fail(Concat({u"找不到文件“", file.shown, u"”。"}));
  }
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      return Fail(Concat({u"找不到文件“", file.shown, u"”。"}));
    }
    if (error == EACCES || error == EPERM) {
      return Fail(Concat({u"无法打开文件“", file.shown, u"”：没有读取它的权限。"}));
    }
    return Fail(
        Concat({u"无法打开文件“", file.shown, u"”：", FromUtf8(std::strerror(error)), u"。"}));
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
    return Fail(Concat({u"无法识别的数据库格式“", file.shown, u"”。"}));
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  *copy = FileCopy::Allocate(size);
  if (!*copy) return Fail(Concat({u"读取文件“", file.shown, u"”时出错（out of memory）。"}));
  // A file that shrinks meanwhile is read as far as it goes.
  FileCopy& bytes = **copy;
  while (bytes.size < size) {
    const ssize_t n = ::read(fd, bytes.data() + bytes.size, size - bytes.size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      return Fail(Concat(
          {u"读取文件“", file.shown, u"”时出错（", FromUtf8(std::strerror(errno)), u"）。"}));
    }
    if (n == 0) break;
    bytes.size += static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

struct StatementCloser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

std::u16string SqliteMessage(sqlite3* db) {
  const void* message = sqlite3_errmsg16(db);
  return message != nullptr ? std::u16string(static_cast<const char16_t*>(message)) : u"";
}

// Reads the metadata table and admits the password, or says why not.
Status CheckProviderFile(sqlite3* db, const DatabaseFile& file, std::u16string_view password) {
  Status not_ours = Fail(Concat({u"无法识别的数据库格式“", file.shown, u"”。"}));
  // A scan that loads a value only for the keys the check needs: the table
  // may hold large values besides, and both a plain scan and a search by key
  // would read those whole.
  std::string wanted;
  for (std::string_view key : {provider::kFormatKey, provider::kSaltKey, provider::kIterationsKey,
                               provider::kVerifierKey}) {
    wanted += (wanted.empty() ? "'" : ", '") + std::string(key) + "'";
  }
  const std::string query = "SELECT key, CASE WHEN key IN (" + wanted + ") THEN value END FROM \"" +
                            std::string(provider::kMetaTable) + "\"";
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, query.c_str(), -1, &raw, nullptr);
  Statement statement(raw);
  if (rc == SQLITE_IOERR || rc == SQLITE_CANTOPEN || rc == SQLITE_NOMEM) {
    return Fail(Concat({u"读取文件“", file.shown, u"”时出错（", SqliteMessage(db), u"）。"}));
  }
  if (rc != SQLITE_OK) return not_ours;

  bool format_ok = false;
  bool have_iterations = false;
  provider::PasswordVerifier stored;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const auto* key = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    if (key == nullptr) continue;
    const std::string_view name(key);
    const int type = sqlite3_column_type(statement.get(), 1);
    if (name == provider::kFormatKey && type == SQLITE_TEXT) {
      const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 1));
      format_ok = std::string_view(value, static_cast<std::size_t>(sqlite3_column_bytes(
                                              statement.get(), 1))) == provider::kFormat;
    } else if (name == provider::kIterationsKey && type == SQLITE_INTEGER) {
      const sqlite3_int64 iterations = sqlite3_column_int64(statement.get(), 1);
      if (iterations > 0 && iterations <= provider::kMaxIterations) {
        stored.iterations = static_cast<int>(iterations);
        have_iterations = true;
      }
    } else if ((name == provider::kSaltKey || name == provider::kVerifierKey) &&
               type == SQLITE_BLOB) {
      const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement.get(), 1));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 1));
      auto& target = name == provider::kSaltKey ? stored.salt : stored.verifier;
      target.assign(bytes, bytes + size);
    }
  }
  if (rc != SQLITE_DONE) return not_ours;
  if (!format_ok || !have_iterations || stored.salt.empty() ||
      stored.verifier.size() != provider::kVerifierBytes) {
    return not_ours;
  }
  if (!provider::CheckPassword(stored, ToUtf8(password))) return Fail(kBadPassword);
  return Status::Ok();
}

// ---- Values ----

// What a column's declared type asks for, by the type name's first word.
enum class Declared {
  kNone,
  kBool,
  kByte,
  kShort,
  kLong,
  kSingle,
  kDouble,
  kCurrency,
  kDate,
  kText,
  kBinary
};

Declared DeclaredKind(const char* declared_type) {
  if (declared_type == nullptr) return Declared::kNone;
  std::string word;
  for (const char* p = declared_type; *p != '\0'; ++p) {
    const char c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
      word += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    } else if (!word.empty()) {
      break;
    }
  }
  static constexpr struct {
    std::string_view name;
    Declared kind;
  } kNames[] = {
      {"YESNO", Declared::kBool},        {"BIT", Declared::kBool},
      {"BYTE", Declared::kByte},         {"SHORT", Declared::kShort},
      {"SMALLINT", Declared::kShort},    {"LONG", Declared::kLong},
      {"INTEGER", Declared::kLong},      {"SINGLE", Declared::kSingle},
      {"DOUBLE", Declared::kDouble},     {"FLOAT", Declared::kDouble},
      {"CURRENCY", Declared::kCurrency}, {"DATETIME", Declared::kDate},
      {"TEXT", Declared::kText},         {"MEMO", Declared::kText},
      {"VARCHAR", Declared::kText},      {"LONGBINARY", Declared::kBinary},
      {"OLEOBJECT", Declared::kBinary},
  };
  for (const auto& entry : kNames) {
    if (word == entry.name) return entry.kind;
  }
  return Declared::kNone;
}

Variant Integer(std::uint16_t vt, std::int64_t value) {
  Variant v;
  v.vt = vt;
  v.integer = value;
  return v;
}

Variant Real(std::uint16_t vt, double value) {
  Variant v;
  v.vt = vt;
  v.real = value;
  return v;
}

Variant Text(sqlite3_stmt* statement, int column) {
  Variant v;
  v.vt = kVtBstr;
  const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement, column));
  const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes16(statement, column));
  if (text != nullptr) v.text.assign(text, bytes / sizeof(char16_t));
  return v;
}

Variant Bytes(sqlite3_stmt* statement, int column) {
  Variant v;
  v.vt = kVtArrayUI1;
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, column));
  const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
  if (bytes != nullptr) v.bytes.assign(bytes, bytes + size);
  return v;
}

// A value by its own storage class, for columns without a known type and
// for values that the declared type cannot hold.
Variant Stored(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 value = sqlite3_column_int64(statement, column);
      const bool fits = value >= std::numeric_limits<std::int32_t>::min() &&
                        value <= std::numeric_limits<std::int32_t>::max();
      return Integer(fits ? kVtI4 : kVtI8, value);
    }
    case SQLITE_FLOAT:
      return Real(kVtR8, sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
      return Text(statement, column);
    case SQLITE_BLOB:
      return Bytes(statement, column);
    default:
      return Integer(kVtNull, 0);
  }
}

// Days since 1899-12-30 of "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (or with a T).
// Before that day the fraction counts forward within the day, so the time
// is subtracted from a negative day number.
std::optional<double> DateFromText(std::string_view text) {
  std::size_t i = 0;
  auto number = [&](std::size_t digits) -> std::optional<int> {
    if (i + digits > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t k = 0; k < digits; ++k, ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  auto expect = [&](char c) {
    if (i >= text.size() || text[i] != c) return false;
    ++i;
    return true;
  };
  auto y = number(4);
  if (!y || !expect('-')) return std::nullopt;
  auto m = number(2);
  if (!m || !expect('-')) return std::nullopt;
  auto d = number(2);
  if (!d) return std::nullopt;
  int hours = 0;
  int minutes = 0;
  double seconds = 0;
  if (i < text.size()) {
    if (text[i] != ' ' && text[i] != 'T') return std::nullopt;
    ++i;
    auto h = number(2);
    if (!h || !expect(':')) return std::nullopt;
    auto mi = number(2);
    if (!mi) return std::nullopt;
    hours = *h;
    minutes = *mi;
    if (expect(':')) {
      auto s = number(2);
      if (!s) return std::nullopt;
      seconds = *s;
      if (expect('.')) {
        double scale = 0.1;
        const std::size_t start = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
          seconds += (text[i] - '0') * scale;
        }
        if (i == start) return std::nullopt;
      }
    }
    if (i != text.size() || hours > 23 || minutes > 59 || seconds >= 60) return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{year{*y}, month{static_cast<unsigned>(*m)},
                            day{static_cast<unsigned>(*d)}};
  if (!date.ok()) return std::nullopt;
  const auto days = static_cast<double>((sys_days{date} - sys_days{1899y / 12 / 30}).count());
  const double fraction = (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
  return days >= 0 ? days + fraction : days - fraction;
}

template <typename T>
bool Fits(sqlite3_int64 value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

// The value of one column of the current row. A declared type applies when
// the stored value can be read as that type without loss; otherwise the
// value keeps its own kind rather than be shown wrong.
Variant ColumnValue(sqlite3_stmt* statement, int column, Declared declared) {
  const int type = sqlite3_column_type(statement, column);
  if (type == SQLITE_NULL) return Integer(kVtNull, 0);
  const bool is_integer = type == SQLITE_INTEGER;
  const bool is_number = is_integer || type == SQLITE_FLOAT;
  switch (declared) {
    case Declared::kBool:
      if (is_number)
        return Integer(kVtBool, sqlite3_column_double(statement, column) != 0 ? -1 : 0);
      break;
    case Declared::kByte:
      if (is_integer && Fits<std::uint8_t>(sqlite3_column_int64(statement, column))) {
        return Integer(kVtUI1, sqlite3_column_int64(statement, column));
      }
      break;
    case Declared::kShort:
      if (is_integer && Fits<std::int16_t>(sqlite3_column_int64(statement, column))) {
        return Integer(kVtI2, sqlite3_column_int64(statement, column));
      }
      break;
    case Declared::kLong:
      if (is_integer && Fits<std::int32_t>(sqlite3_column_int64(statement, column))) {
        return Integer(kVtI4, sqlite3_column_int64(statement, column));
      }
      break;
    case Declared::kSingle:
      if (is_number) {
        const double value = sqlite3_column_double(statement, column);
        if (std::fabs(value) <= std::numeric_limits<float>::max()) {
          return Real(kVtR4, static_cast<double>(static_cast<float>(value)));
        }
      }
      break;
    case Declared::kDouble:
      if (is_number) return Real(kVtR8, sqlite3_column_double(statement, column));
      break;
    case Declared::kCurrency:
      if (is_integer) {
        const sqlite3_int64 amount = sqlite3_column_int64(statement, column);
        constexpr sqlite3_int64 kLimit = std::numeric_limits<std::int64_t>::max() / 10000;
        if (amount >= -kLimit && amount <= kLimit) return Integer(kVtCurrency, amount * 10000);
      } else if (is_number) {
        const double units = std::round(sqlite3_column_double(statement, column) * 10000.0);
        if (std::fabs(units) < 9.2e18) {
          return Integer(kVtCurrency, static_cast<std::int64_t>(units));
        }
      }
      break;
    case Declared::kDate:
      if (is_number) return Real(kVtDate, sqlite3_column_double(statement, column));
      if (type == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
        if (auto days = DateFromText(std::string_view(text, size))) return Real(kVtDate, *days);
      }
      break;
    case Declared::kText:
      if (type != SQLITE_BLOB) return Text(statement, column);
      break;
    case Declared::kBinary:
      if (type == SQLITE_BLOB || type == SQLITE_TEXT) return Bytes(statement, column);
      break;
    case Declared::kNone:
      break;
  }
  return Stored(statement, column);
}

// The work a read may do. A file can be made so that the program's statement
// never ends (a view over an endless recursive query); such a read stops with
// an error instead of hanging the program. The budget is counted in ticks of
// kOpsPerTick virtual-machine operations, per thread, since a connection and
// its results belong to one thread.
constexpr int kOpsPerTick = 1000;
constexpr long kTicksPerRead = 50000;  // 50 million operations, about half a second
// A client-side result is held whole in memory; past this many rows it is
// refused (a server-side cursor reads any number).
constexpr std::size_t kMaxClientRows = 2000000;
thread_local long ticks_left = kTicksPerRead;

int OnProgress(void*) { return --ticks_left < 0 ? 1 : 0; }
void NewReadBudget() { ticks_left = kTicksPerRead; }

Status StepFailed(sqlite3* db) {
  if (sqlite3_errcode(db) == SQLITE_INTERRUPT) {
    return Fail(u"读取记录时出错：语句超出了提供程序允许的工作量，已中止。");
  }
  return Status::Fail(Concat({u"读取记录时出错（", SqliteMessage(db), u"）。"}));
}

// ---- Statement shapes ----

// A statement's text with its single-quoted literals replaced by parameters,
// and the literals' values in order.
struct Shape {
  std::u16string text;
  std::vector<std::u16string> literals;
};

bool IsWordChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c >= 0x80;
}

// Takes out every single-quoted literal that stands on its own: not a blob
// literal (X'..'), not inside a quoted identifier or a comment. Nothing for a
// text it cannot read whole; that is prepared as it stands.
std::optional<Shape> ShapeOf(std::u16string_view sql) {
  Shape shape;
  std::size_t i = 0;
  // Copies sql[i, end) unchanged and moves past it.
  auto copy_to = [&](std::size_t end) {
    shape.text.append(sql.substr(i, end - i));
    i = end;
  };
  while (i < sql.size()) {
    const char16_t c = sql[i];
    const char16_t next = i + 1 < sql.size() ? sql[i + 1] : u'\0';
    if (c == u'\'') {
      std::u16string value;
      std::size_t j = i + 1;
      for (;; ++j) {
        if (j >= sql.size()) return std::nullopt;
        if (sql[j] != u'\'') {
          value += sql[j];
        } else if (j + 1 < sql.size() && sql[j + 1] == u'\'') {
          value += sql[++j];
        } else {
          break;
        }
      }
      if (i > 0 && IsWordChar(sql[i - 1])) {
        copy_to(j + 1);
      } else {
        shape.text += u'?';
        shape.literals.push_back(std::move(value));
        i = j + 1;
      }
    } else if (c == u'"' || c == u'`' || c == u'[') {
      const std::size_t close = sql.find(c == u'[' ? u']' : c, i + 1);
      if (close == std::u16string_view::npos) return std::nullopt;
      copy_to(close + 1);
    } else if (c == u'-' && next == u'-') {
      const std::size_t line_end = sql.find(u'\n', i);
      copy_to(line_end == std::u16string_view::npos ? sql.size() : line_end);
    } else if (c == u'/' && next == u'*') {
      const std::size_t close = sql.find(u"*/", i + 2);
      if (close == std::u16string_view::npos) return std::nullopt;
      copy_to(close + 2);
    } else {
      shape.text += c;
      ++i;
    }
  }
  return shape;
}

// The prepared shapes a connection keeps; a few suffice for a program that
// runs one statement again and again.
constexpr std::size_t kCachedStatements = 16;

}  // namespace

struct Connection::StatementCache {
  struct Entry {
    Statement statement;
    std::vector<std::u16string> names;
    std::vector<Declared> declared;
  };
  std::unordered_map<std::u16string, Entry> entries;

  // The prepared statement of a shape, prepared now if need be. Nothing when
  // the shape is not one read-only statement with a parameter for each of its
  // literals; the text then goes its own way and meets its own error.
  Entry* Find(sqlite3* db, const Shape& shape) {
    if (auto it = entries.find(shape.text); it != entries.end()) return &it->second;
    sqlite3_stmt* raw = nullptr;
    const void* tail = nullptr;
    const int rc = sqlite3_prepare16_v3(db, shape.text.data(),
                                        static_cast<int>(shape.text.size() * sizeof(char16_t)),
                                        SQLITE_PREPARE_PERSISTENT, &raw, &tail);
    Statement statement(raw);
    if (rc != SQLITE_OK || !statement || !sqlite3_stmt_readonly(raw) ||
        static_cast<std::size_t>(sqlite3_bind_parameter_count(raw)) != shape.literals.size()) {
      return nullptr;
    }
    const auto* rest = static_cast<const char16_t*>(tail);
    for (const auto* end = shape.text.data() + shape.text.size(); rest != end; ++rest) {
      if (!IsBlank(*rest) && *rest != u';') return nullptr;
    }
    if (entries.size() >= kCachedStatements) entries.clear();
    Entry& entry = entries[shape.text];
    entry.statement = std::move(statement);
    return &entry;
  }
};

// ---- Initialisation ----

namespace {
bool initialized = false;
}  // namespace

bool Initialize() {
  if (initialized) return true;
  // Without statistics of memory use SQLite's allocator takes no global
  // mutex, which is a good part of a look-up. Possible only before SQLite
  // starts; later it fails harmlessly.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  initialized = sqlite3_initialize() == SQLITE_OK;
  return initialized;
}

void Uninitialize() {
  if (!initialized) return;
  sqlite3_shutdown();
  initialized = false;
}

// ---- Connection ----

Connection::Connection() = default;
Connection::~Connection() = default;

Status Connection::Open(std::u16string_view connection_string, std::u16string_view /*user_id*/,
                        std::u16string_view /*password*/, std::int32_t /*options*/) {
  if (db_) return Fail(kObjectOpen);

  ConnectionSettings settings;
  if (!ParseConnectionText(connection_string, &settings)) return Fail(kBadConnectionText);
  if (!settings.provider) return Fail(kNoProvider);
  const std::u16string expected = FromUtf8(provider::kProviderName);
  if (!EqualsIgnoreCase(*settings.provider, expected)) {
    return Status::Fail(
        Concat({u"未找到提供程序“", *settings.provider, u"”。该程序可能未正确安装。"}));
  }
  if (settings.data_source.empty()) return Fail(kNoDataSource);

  DatabaseFile file;
  if (!ResolvePath(std::move(settings.data_source), &file)) {
    return Fail(u"无法确定当前目录，不能解析数据源的相对路径。");
  }
  std::unique_ptr<FileCopy> copy;
  if (Status read = ReadWholeFile(file, &copy); !read) return read;

  // An in-memory database over the copy, read-only: nothing is ever written,
  // to the copy or to the file. The copy lives as long as the handle.
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  const auto size = static_cast<sqlite3_int64>(copy->size);
  unsigned char* bytes = copy->data();
  std::shared_ptr<sqlite3> db(raw, [copy = std::shared_ptr<FileCopy>(std::move(copy))](
                                       sqlite3* handle) { sqlite3_close_v2(handle); });
  if (rc == SQLITE_OK) {
    rc = sqlite3_deserialize(db.get(), "main", bytes, size, size, SQLITE_DESERIALIZE_READONLY);
  }
  if (rc != SQLITE_OK) {
    return Status::Fail(
        Concat({u"无法打开文件“", file.shown, u"”（", raw ? SqliteMessage(raw) : u"", u"）。"}));
  }

  // The file is delivered data: its schema may not call functions with side
  // effects, and statements may not attach other files.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_progress_handler(db.get(), kOpsPerTick, OnProgress, nullptr);
  NewReadBudget();
  sqlite3_limit(db.get(), SQLITE_LIMIT_ATTACHED, 0);
  const std::string mmap = "PRAGMA mmap_size=" + std::to_string(kMmapBytes);
  sqlite3_exec(db.get(), mmap.c_str(), nullptr, nullptr, nullptr);

  if (Status admitted = CheckProviderFile(db.get(), file, settings.password); !admitted) {
    return admitted;
  }
  db_ = std::move(db);
  statements_ = std::make_unique<StatementCache>();
  return Status::Ok();
}

Status Connection::Close() {
  statements_.reset();
  db_.reset();
  return Status::Ok();
}

// ---- Recordset ----

struct Recordset::Result {
  std::vector<std::u16string> names;
  std::vector<Declared> declared;

  // Client-side: every row, row after row; the current one is `row`.
  std::vector<Variant> cells;
  std::size_t rows = 0;
  std::size_t row = 0;

  // Server-side: the statement stays on the current row, which is copied to
  // `current`. The handle outlives the statement (members end in reverse).
  bool streaming = false;
  std::shared_ptr<sqlite3> db;
  Statement statement;
  sqlite3_stmt* stepping = nullptr;  // `statement`, or one the connection keeps
  std::vector<Variant> current;
  bool at_end = false;

  bool Eof() const { return streaming ? at_end : row >= rows; }

  const Variant& Cell(std::size_t column) const {
    return streaming ? current[column] : cells[row * names.size() + column];
  }

  void CopyRow(std::vector<Variant>* out) const {
    for (std::size_t i = 0; i < names.size(); ++i) {
      out->push_back(ColumnValue(stepping, static_cast<int>(i), declared[i]));
    }
  }

  // Moves the statement to its next row.
  Status Step() {
    if (streaming) NewReadBudget();  // each row of a server-side read has its own
    const int rc = sqlite3_step(stepping);
    if (rc == SQLITE_ROW) {
      if (streaming) {
        current.clear();
        CopyRow(&current);
      } else {
        if (rows == kMaxClientRows) {
          at_end = true;
          return Fail(u"结果集太大，客户端游标无法容纳；请改用服务器端游标。");
        }
        CopyRow(&cells);
        ++rows;
      }
      return Status::Ok();
    }
    at_end = true;
    return rc == SQLITE_DONE ? Status::Ok() : StepFailed(sqlite3_db_handle(stepping));
  }

  void Describe(sqlite3_stmt* prepared) {
    const int columns = sqlite3_column_count(prepared);
    for (int i = 0; i < columns; ++i) {
      const auto* name = static_cast<const char16_t*>(sqlite3_column_name16(prepared, i));
      names.emplace_back(name != nullptr ? name : u"");
      declared.push_back(DeclaredKind(sqlite3_column_decltype(prepared, i)));
    }
  }

  Status ReadAll() {
    NewReadBudget();
    while (!at_end) {
      if (Status stepped = Step(); !stepped) return stepped;
    }
    return Status::Ok();
  }
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

Status Recordset::SetCursorLocation(std::int32_t location) {
  if (location < kUseNone || location > kUseClient) return Fail(kBadArgument);
  cursor_location_ = location;
  return Status::Ok();
}

Status Recordset::Open(std::u16string_view source, Connection* active_connection,
                       std::int32_t /*cursor_type*/, std::int32_t /*lock_type*/,
                       std::int32_t options) {
  if (open_) return Fail(kObjectOpen);
  if (active_connection == nullptr || !active_connection->db_) return Fail(kConnectionUnusable);
  if (Trim(source).empty()) return Fail(kNoCommandText);

  std::u16string sql;
  if (options == kCmdText || options == kCmdUnspecified) {
    sql = source;
  } else if (options == kCmdTable) {
    // A quoted identifier: any table name, and never more than a name.
    sql = u"SELECT * FROM \"";
    for (char16_t c : Trim(source)) {
      sql += c;
      if (c == u'"') sql += c;
    }
    sql += u'"';
  } else {
    return Fail(kBadArgument);
  }

  auto result = std::make_unique<Result>();
  sqlite3* db = active_connection->db_.get();

  // A client-side statement runs from the connection's prepared shapes.
  Connection::StatementCache* cache = active_connection->statements_.get();
  std::optional<Shape> shape;
  if (cursor_location_ == kUseClient && options != kCmdTable && cache != nullptr) {
    shape = ShapeOf(sql);
  }
  if (Connection::StatementCache::Entry* entry = shape ? cache->Find(db, *shape) : nullptr) {
    sqlite3_stmt* prepared = entry->statement.get();
    for (std::size_t k = 0; k < shape->literals.size(); ++k) {
      const std::u16string& literal = shape->literals[k];
      sqlite3_bind_text16(prepared, static_cast<int>(k + 1), literal.data(),
                          static_cast<int>(literal.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
    }
    if (entry->names.empty()) {
      result->Describe(prepared);
      entry->names = result->names;
      entry->declared = result->declared;
    } else {
      result->names = entry->names;
      result->declared = entry->declared;
    }
    result->stepping = prepared;
    Status read = result->ReadAll();
    sqlite3_reset(prepared);
    sqlite3_clear_bindings(prepared);
    result->stepping = nullptr;
    if (!read) return read;
    result_ = std::move(result);
    open_ = true;
    return Status::Ok();
  }

  result->db = active_connection->db_;
  sqlite3_stmt* raw = nullptr;
  const void* tail = nullptr;
  const int rc = sqlite3_prepare16_v2(db, sql.data(),
                                      static_cast<int>(sql.size() * sizeof(char16_t)), &raw, &tail);
  result->statement.reset(raw);
  if (rc != SQLITE_OK) {
    return Status::Fail(Concat({u"数据库引擎无法执行该语句（", SqliteMessage(db), u"）。"}));
  }
  if (!result->statement) return Fail(kNoCommandText);  // only blanks or comments

  // One statement only: what follows it may be blanks, semicolons or comments.
  const auto* rest = static_cast<const char16_t*>(tail);
  const auto* end = sql.data() + sql.size();
  while (rest != end && (IsBlank(*rest) || *rest == u';')) ++rest;
  if (rest != end) {
    sqlite3_stmt* next = nullptr;
    const int next_rc = sqlite3_prepare16_v2(
        db, rest, static_cast<int>((end - rest) * sizeof(char16_t)), &next, nullptr);
    sqlite3_finalize(next);
    if (next_rc != SQLITE_OK || next != nullptr) return Fail(kTextAfterStatement);
  }
  if (!sqlite3_stmt_readonly(result->statement.get())) return Fail(kNotReadOnly);

  result->stepping = result->statement.get();
  result->Describe(result->stepping);

  if (cursor_location_ == kUseClient) {
    if (Status read = result->ReadAll(); !read) return read;
    // Nothing of the connection stays with a client-side result.
    result->stepping = nullptr;
    result->statement.reset();
    result->db.reset();
  } else {
    result->streaming = true;
    if (Status stepped = result->Step(); !stepped) return stepped;
  }
  result_ = std::move(result);
  open_ = true;
  return Status::Ok();
}

Status Recordset::Close() {
  result_.reset();
  open_ = false;
  return Status::Ok();
}

bool Recordset::Eof() const { return !open_ || result_->Eof(); }

Status Recordset::MoveNext() {
  if (!open_) return Fail(kObjectClosed);
  if (result_->Eof()) return Fail(kNoCurrentRow);
  if (!result_->streaming) {
    ++result_->row;
    return Status::Ok();
  }
  return result_->Step();
}

Status Recordset::Collect(std::u16string_view field, Variant* value) const {
  if (!open_) return Fail(kObjectClosed);
  if (result_->Eof()) return Fail(kNoCurrentRow);
  for (std::size_t i = 0; i < result_->names.size(); ++i) {
    if (EqualsIgnoreCase(result_->names[i], field)) {
      *value = result_->Cell(i);
      return Status::Ok();
    }
  }
  return Fail(kNoSuchField);
}

Status Recordset::SetFilter(std::u16string_view filter) {
  if (Trim(filter).empty()) return Status::Ok();
  return Fail(kNoFilter);
}

}  // namespace ado
