// Any bytes as a block table in TSV or CSV (the first byte picks the
// format). The reader either refuses them, naming the line (or, for a file
// without a header or rows, saying so), or gives a valid table; that table,
// written in either format and read again, is the same table, and writing it
// again gives the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/common/block_table.h"
#include "tools/common/table_io.h"

namespace {

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "tsv_reader: %s\n", what);
  std::abort();
}

bool SameTable(const zdb::BlockTable& a, const zdb::BlockTable& b) {
  if (a.blocks.size() != b.blocks.size()) return false;
  for (std::size_t i = 0; i < a.blocks.size(); ++i) {
    if (a.blocks[i].num != b.blocks[i].num || !(a.PlaceOf(a.blocks[i]) == b.PlaceOf(b.blocks[i]))) {
      return false;
    }
  }
  return true;
}

void CheckRefusal(std::string_view text, const std::string& error) {
  if (error == "the file is empty (no header)" || error == "the table has no rows") return;
  Expect(error.starts_with("line "), "a refusal names its line");
  std::size_t line = 0;
  std::size_t i = 5;
  for (; i < error.size() && error[i] >= '0' && error[i] <= '9'; ++i) {
    line = line * 10 + static_cast<std::size_t>(error[i] - '0');
  }
  Expect(i > 5 && error.compare(i, 2, ": ") == 0 && i + 2 < error.size(),
         "a refusal is \"line N: reason\"");
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  Expect(line >= 1 && line <= lines, "the line a refusal names is in the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const zdb::TableFormat format =
      (data[0] & 1) != 0 ? zdb::TableFormat::kCsv : zdb::TableFormat::kTsv;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  zdb::BlockTable table;
  std::string error;
  if (!zdb::ParseTable(text, format, &table, &error)) {
    Expect(table.blocks.empty() && table.places.empty(), "a refusal leaves the table");
    CheckRefusal(text, error);
    return 0;
  }
  Expect(!table.blocks.empty(), "an accepted table has rows");
  for (const zdb::Place& p : table.places) Expect(zdb::CheckPlace(p).empty(), "places are valid");
  for (std::size_t i = 1; i < table.blocks.size(); ++i) {
    Expect(table.blocks[i - 1].num < table.blocks[i].num, "blocks ascend without duplicates");
  }

  for (zdb::TableFormat written : {zdb::TableFormat::kTsv, zdb::TableFormat::kCsv}) {
    const std::string out = zdb::FormatTable(table, written);
    zdb::BlockTable again;
    Expect(zdb::ParseTable(out, written, &again, &error), "a written table reads back");
    Expect(SameTable(table, again), "a written table reads back as the same table");
    Expect(zdb::FormatTable(again, written) == out, "writing it again gives the same text");
  }
  return 0;
}
