#include "tests/tools/test_batch_support.h"

#include <cstdio>
#include <stdexcept>

#include "lookup/lookup_command.h"
#include "tools/common/location_db.h"
#include "tools/common/table_io.h"

namespace batch_test {

void WriteFixtureDb(const std::filesystem::path& file, std::string_view tsv) {
  zdb::BlockTable table;
  std::string error;
  if (!zdb::ParseTable(tsv, zdb::TableFormat::kTsv, &table, &error) ||
      !zdb::WriteLocationDb(table, {.password = kDatabasePassword, .data_version = "test"}, file,
                            &error)) {
    throw std::runtime_error("fixture database: " + error);
  }
}

std::vector<std::string> Lines(std::string_view text, std::string_view end) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t at = text.find(end);
    lines.emplace_back(text.substr(0, at));
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + end.size());
  }
  return lines;
}

std::vector<std::string> Fields(std::string_view record, char separator) {
  std::vector<std::string> fields;
  for (;;) {
    const std::size_t at = record.find(separator);
    fields.emplace_back(record.substr(0, at));
    if (at == std::string_view::npos) return fields;
    record.remove_prefix(at + 1);
  }
}

std::unique_ptr<MemoryImage> MakeImage(const std::vector<lookup_image::PlaceTexts>& places,
                                       const std::vector<lookup_image::BlockPlace>& blocks) {
  auto made = std::make_unique<MemoryImage>();
  std::string error;
  if (!lookup_image::Build(places, blocks, "test", &made->bytes, &error) ||
      !lookup_image::LookupImage::Open(made->bytes, &made->image, &error)) {
    throw std::runtime_error("image: " + error);
  }
  return made;
}

std::string ProcessLines(const lookup_image::LookupImage& image, batch::Format format,
                         const batch::LineOptions& options, std::string_view input,
                         std::size_t output_capacity) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) throw std::runtime_error("tmpfile failed");
  {
    const batch::RecordFormat records(format, image);
    batch::Output out(fileno(file), output_capacity);
    batch::LineProcessor processor(image, records, options, &out);
    if (!out.Append(records.header()) || !processor.Process(input) || !out.Flush()) {
      std::fclose(file);
      throw std::runtime_error("output failed");
    }
  }
  std::string text;
  std::rewind(file);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

Run RunLookup(const std::vector<std::string>& args, const RunOptions& options) {
  return zorvane_test::RunProgram(ZORVANE_PROGRAM_DIR "/zorvane-lookup", args, options);
}

}  // namespace batch_test
