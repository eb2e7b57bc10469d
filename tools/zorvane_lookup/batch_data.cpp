#include "tools/zorvane_lookup/batch_data.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

#include "lookup/data_components.h"
#include "lookup/decompose.h"
#include "lookup/lookup_command.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "tools/zorvane_lookup/batch_text.h"

namespace batch {
namespace {

constexpr std::int32_t kStaticCursor = 3;
constexpr std::int32_t kReadOnlyLock = 1;
constexpr std::int32_t kConnectUnspecified = -1;

constexpr char16_t kImageQuery[] = u"select value from zorvane_meta where key='lookup_image'";
constexpr char16_t kTableQuery[] = u"select * from Mobile";

// The image's fields, by the Mobile table's column names.
constexpr std::array<std::u16string_view, lookup_image::kFieldCount> kColumns = {
    u"area", u"t", u"province", u"city", u"zip", u"code"};

std::string Describe(const ado::Status& status) { return Utf16ToUtf8(status.description()); }

// Reads the image's bytes; on failure says why in *reason.
bool ReadImage(ado::Connection* connection, std::vector<std::uint8_t>* bytes, std::string* reason) {
  ado::Recordset rs;
  if (ado::Status s = rs.Open(kImageQuery, connection, kStaticCursor, kReadOnlyLock, ado::kCmdText);
      !s) {
    *reason = "cannot read the lookup image (" + Describe(s) + ")";
    return false;
  }
  if (rs.Eof()) {
    *reason = "the database has no lookup image";
    return false;
  }
  ado::Variant value;
  if (!rs.Collect(u"value", &value) || (value.vt != ado::kVtArrayUI1 && value.vt != ado::kVtBlob &&
                                        value.vt != ado::kVtBlobObject)) {
    *reason = "the lookup image is not a byte string";
    return false;
  }
  *bytes = std::move(value.bytes);
  return true;
}

// The block a row's num answers, as the window's statement num='1380013'
// would find it: an integer, or a text of exactly the seven digits.
std::optional<std::uint32_t> BlockOf(const ado::Variant& num) {
  std::int64_t value = -1;
  switch (num.vt) {
    case ado::kVtI2:
    case ado::kVtI4:
    case ado::kVtI8:
    case ado::kVtInt:
    case ado::kVtUI1:
    case ado::kVtUI2:
    case ado::kVtUI4:
    case ado::kVtUI8:
    case ado::kVtUInt:
      value = num.integer;
      break;
    case ado::kVtBstr:
    case ado::kVtLpWStr:
      if (num.text.size() != 7) return std::nullopt;
      value = 0;
      for (char16_t c : num.text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
      }
      break;
    default:
      return std::nullopt;
  }
  if (value < lookup_image::kLowestBlock || value > lookup_image::kHighestBlock)
    return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// A field as UTF-8: texts as they are stored, every other kind as the window
// shows it.
std::string FieldText(const ado::Variant& value) {
  if (value.vt == ado::kVtBstr || value.vt == ado::kVtLpWStr) return Utf16ToUtf8(value.text);
  return SanitizeUtf8(platform::GbkToUtf8(字段值转文本(value)));
}

// Appends a field value to the key that tells places apart: its kind, its
// length and its bytes, so that no two values share a key. Texts go in as
// they are, without a conversion per row.
void AppendPlaceKey(const ado::Variant& value, std::string* key) {
  const bool text = value.vt == ado::kVtBstr || value.vt == ado::kVtLpWStr;
  std::string_view bytes;
  std::string converted;
  if (text) {
    bytes = {reinterpret_cast<const char*>(value.text.data()), value.text.size() * 2};
  } else {
    bytes = converted = FieldText(value);
  }
  const auto size = static_cast<std::uint32_t>(bytes.size());
  *key += static_cast<char>(text);
  key->append(reinterpret_cast<const char*>(&size), sizeof size);
  key->append(bytes);
}

// Reads the Mobile table row by row into an image of the same form. The
// first row of a block wins, as in the window's query.
bool ReadTable(ado::Connection* connection, std::vector<std::uint8_t>* bytes, std::string* error) {
  ado::Recordset rs;
  (void)rs.SetCursorLocation(ado::kUseServer);
  ado::Status s = rs.Open(kTableQuery, connection, kStaticCursor, kReadOnlyLock, ado::kCmdText);
  if (!s) {
    *error = "cannot read the Mobile table: " + Describe(s);
    return false;
  }

  using Texts = std::array<std::string, lookup_image::kFieldCount>;
  std::vector<Texts> places;
  std::unordered_map<std::string, std::uint16_t> place_ids;  // by PlaceKey
  std::vector<lookup_image::BlockPlace> blocks;
  std::vector<bool> seen(lookup_image::kHighestBlock - lookup_image::kLowestBlock + 1);
  // Reused from row to row, so that their texts keep their memory.
  ado::Variant num;
  std::array<ado::Variant, lookup_image::kFieldCount> values;
  std::array<bool, lookup_image::kFieldCount> present{};
  bool columns_known = false;
  std::string key;
  // A failed step ends the result, so the loop stops there too.
  for (; !rs.Eof(); s = rs.MoveNext()) {
    if (!rs.Collect(u"num", &num)) {
      *error = "the Mobile table has no num column";
      return false;
    }
    const std::optional<std::uint32_t> block = BlockOf(num);
    if (!block || seen[*block - lookup_image::kLowestBlock]) continue;
    seen[*block - lookup_image::kLowestBlock] = true;

    // Which columns the table has is asked once; a missing one stays empty.
    key.clear();
    for (std::size_t f = 0; f < kColumns.size(); ++f) {
      if (!columns_known) {
        present[f] = rs.Collect(kColumns[f], &values[f]).ok();
      } else if (present[f]) {
        (void)rs.Collect(kColumns[f], &values[f]);
      }
      if (present[f]) AppendPlaceKey(values[f], &key);
    }
    columns_known = true;
    auto [it, added] = place_ids.try_emplace(key, 0);
    if (added) {
      if (places.size() == lookup_image::kMaxPlaces) {
        *error = "the Mobile table has more than " + std::to_string(lookup_image::kMaxPlaces) +
                 " distinct places";
        return false;
      }
      Texts texts;
      for (std::size_t f = 0; f < kColumns.size(); ++f) {
        if (present[f]) texts[f] = FieldText(values[f]);
      }
      places.push_back(std::move(texts));
      it->second = static_cast<std::uint16_t>(places.size());
    }
    blocks.push_back({*block, it->second});
  }
  if (!s) {
    *error = "cannot read the Mobile table: " + Describe(s);
    return false;
  }
  if (blocks.empty()) {
    bytes->clear();  // no image: every block is without a row
    return true;
  }

  std::sort(blocks.begin(), blocks.end(),
            [](const auto& a, const auto& b) { return a.block < b.block; });
  std::vector<lookup_image::PlaceTexts> views;
  views.reserve(places.size());
  for (const Texts& t : places) views.push_back({t[0], t[1], t[2], t[3], t[4], t[5]});
  return lookup_image::Build(views, blocks, "table", bytes, error);
}

// Runs the window's statement once, through the window's own record set. A
// file that cannot answer it shows the error box at every lookup of the
// window, so the batch answers nothing from it either: its lookup image, or
// an empty result, would answer what the window cannot.
bool AnswersTheWindowsStatement(数据库连接& 连接, std::string* error) {
  struct NotedError final : 错误提示 {
    std::string description;
    void 显示错误框(std::string_view text) override { description = text; }
  } noted;
  记录集 statement(noted);
  statement.绑定连接(连接);
  if (statement.打开记录集(查询文本表().语句头 + 加引号("1380013"), ado::kCmdText)) return true;
  *error = "the database cannot answer the window's statement: " +
           platform::GbkToUtf8(noted.description);
  return false;
}

}  // namespace

bool LookupData::Load(const std::string& database, std::string* notice, std::string* error) {
  ado::Initialize();
  bool loaded = false;
  {
    数据库连接 连接;
    if (!连接.连接数据库文件(platform::Utf8ToGbk(database), kDatabasePassword)) {
      // The component keeps its failures silent, as the window wants; the
      // batch says why.
      ado::Connection probe;
      const ado::Status s =
          probe.Open(platform::GbkToUnicode(连接.连接文本()), u"", u"", kConnectUnspecified);
      *error = "cannot open the database " + database + ": " +
               (s ? std::string("the connection failed") : Describe(s));
    } else if (AnswersTheWindowsStatement(连接, error)) {
      std::string reason;
      if (ReadImage(连接.连接对象(), &bytes_, &reason) &&
          lookup_image::LookupImage::Open(bytes_, &image_, &reason)) {
        loaded = true;
      } else {
        *notice = reason + "; reading the Mobile table instead";
        bytes_.clear();
        if (ReadTable(连接.连接对象(), &bytes_, error)) {
          loaded = bytes_.empty() || lookup_image::LookupImage::Open(bytes_, &image_, error);
        }
      }
    }
  }
  ado::Uninitialize();
  return loaded;
}

}  // namespace batch
