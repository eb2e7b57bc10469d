#include "tools/common/table_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace zdb {
namespace {

constexpr std::array<std::string_view, 6> kColumns = {"num", "province", "city",
                                                      "zip", "areacode", "carrier"};
constexpr std::string_view kBom = "\xEF\xBB\xBF";

void SplitTsv(std::string_view line, std::vector<std::string>* fields) {
  fields->clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields->emplace_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return;
    start = tab + 1;
  }
}

// RFC 4180 fields of one line. Returns the reason when the quoting is broken.
std::string SplitCsv(std::string_view line, std::vector<std::string>* fields) {
  fields->clear();
  std::size_t i = 0;
  for (;;) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return "quoted field not closed on its line";
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      if (i < line.size() && line[i] != ',') return "text after a closing quote";
    } else {
      const std::size_t comma = line.find(',', i);
      field.assign(line.substr(i, comma - i));
      if (field.find('"') != std::string::npos) return "quote inside an unquoted field";
      i = comma == std::string_view::npos ? line.size() : comma;
    }
    fields->push_back(std::move(field));
    if (i >= line.size()) return {};
    ++i;  // the comma
    if (i == line.size()) {
      fields->emplace_back();
      return {};
    }
  }
}

void AppendCsvField(std::string* out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    *out += field;
    return;
  }
  *out += '"';
  for (char c : field) {
    if (c == '"') *out += '"';
    *out += c;
  }
  *out += '"';
}

std::string JoinedColumns(std::string_view separator) {
  std::string s;
  for (std::string_view c : kColumns) {
    if (!s.empty()) s += separator;
    s += c;
  }
  return s;
}

}  // namespace

std::optional<TableFormat> TableFormatByName(std::string_view name) {
  if (name == "tsv") return TableFormat::kTsv;
  if (name == "csv") return TableFormat::kCsv;
  return std::nullopt;
}

TableFormat TableFormatOfPath(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".csv" ? TableFormat::kCsv : TableFormat::kTsv;
}

bool ParseTable(std::string_view text, TableFormat format, BlockTable* table, std::string* error) {
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
  BlockTableBuilder builder("line");
  std::vector<std::string> fields;
  std::uint32_t line_number = 0;
  const auto fail = [&](std::string_view reason) {
    *error = "line " + std::to_string(line_number) + ": " + std::string(reason);
    return false;
  };
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);

    if (format == TableFormat::kTsv) {
      SplitTsv(line, &fields);
    } else if (std::string reason = SplitCsv(line, &fields); !reason.empty()) {
      return fail(reason);
    }
    if (line_number == 1) {
      if (!std::equal(fields.begin(), fields.end(), kColumns.begin(), kColumns.end())) {
        return fail("the header must be: " +
                    JoinedColumns(format == TableFormat::kTsv ? " TAB " : ","));
      }
      continue;
    }
    if (fields.size() != kColumns.size()) {
      return fail("wrong number of columns: " + std::to_string(fields.size()) + " instead of " +
                  std::to_string(kColumns.size()));
    }
    const std::optional<std::uint8_t> carrier = CarrierByShortName(fields[5]);
    if (!carrier) return fail("unknown carrier \"" + fields[5] + "\"");
    Place place{std::move(fields[1]), std::move(fields[2]), std::move(fields[3]),
                std::move(fields[4]), *carrier};
    if (std::string reason = builder.Add(fields[0], std::move(place), line_number);
        !reason.empty()) {
      return fail(reason);
    }
  }
  if (line_number == 0) {
    *error = "the file is empty (no header)";
    return false;
  }
  return builder.Finish(table, error);
}

std::string FormatTable(const BlockTable& table, TableFormat format) {
  const bool csv = format == TableFormat::kCsv;
  const std::string_view end = csv ? "\r\n" : "\n";
  std::string out = JoinedColumns(csv ? "," : "\t");
  out += end;
  out.reserve(table.blocks.size() * 48);
  for (const Block& b : table.blocks) {
    const Place& p = table.PlaceOf(b);
    const std::string num = std::to_string(b.num);
    const std::array<std::string_view, 6> fields = {
        num, p.province, p.city, p.zip, p.code, kCarriers[p.carrier].short_name};
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += csv ? ',' : '\t';
      if (csv) {
        AppendCsvField(&out, fields[i]);
      } else {
        out += fields[i];
      }
    }
    out += end;
  }
  return out;
}

bool ReadFile(const std::filesystem::path& path, std::string* contents, std::string* error) {
  const auto fail = [&](int code) {
    *error = "cannot read " + path.string() + ": " + std::strerror(code);
    return false;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  struct stat st {};
  const bool stat_ok = ::fstat(fd, &st) == 0;
  if (!stat_ok || S_ISDIR(st.st_mode)) {
    const int code = stat_ok ? EISDIR : errno;
    ::close(fd);
    return fail(code);
  }
  std::string data;
  data.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  for (;;) {
    if (done == data.size()) data.resize(data.size() + 65536);
    const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      return fail(code);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(done);
  *contents = std::move(data);
  return true;
}

}  // namespace zdb
