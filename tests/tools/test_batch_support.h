// Fixtures for the batch lookup's tests: a small location database written
// as zorvane-db writes it, and zorvane-lookup run as a separate process.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/run_program.h"
#include "tools/common/lookup_image.h"
#include "tools/zorvane_lookup/batch_lines.h"

namespace batch_test {

// The blocks of the fixture database (the TSV form of data/): a
// municipality, provinces with cities, the lowest block, several carriers.
inline constexpr std::string_view kFixtureTsv =
    "num\tprovince\tcity\tzip\tareacode\tcarrier\n"
    "1000000\t广东\t广州\t510000\t020\t联通\n"
    "1300000\t山东\t济南\t250000\t0531\t联通\n"
    "1380000\t北京\t北京\t100000\t010\t移动\n"
    "1380013\t北京\t北京\t100000\t010\t移动\n"
    "1861234\t上海\t上海\t200000\t021\t电信\n"
    "1999998\t广东\t深圳\t518000\t0755\t广电\n";

// Writes the fixture as a location database with its lookup image, opened
// by the program's own password.
void WriteFixtureDb(const std::filesystem::path& file, std::string_view tsv = kFixtureTsv);

using zorvane_test::ReadBytes;
using zorvane_test::WriteText;

// The lines of a text, without their line ends ("\n" or "\r\n").
std::vector<std::string> Lines(std::string_view text, std::string_view end = "\n");
// The fields of a TSV record.
std::vector<std::string> Fields(std::string_view record, char separator = '\t');

// A lookup image in memory: place p (1-based) has the texts places[p - 1]
// (area, t, province, city, zip, code).
struct MemoryImage {
  std::vector<std::uint8_t> bytes;
  lookup_image::LookupImage image;
};
std::unique_ptr<MemoryImage> MakeImage(const std::vector<lookup_image::PlaceTexts>& places,
                                       const std::vector<lookup_image::BlockPlace>& blocks);

// The header and records that the batch loop writes for the input, run in
// this process through an output buffer of the given size.
std::string ProcessLines(const lookup_image::LookupImage& image, batch::Format format,
                         const batch::LineOptions& options, std::string_view input,
                         std::size_t output_capacity = batch::Output::kDefaultCapacity);

using zorvane_test::Run;
using zorvane_test::RunOptions;

// Runs ZORVANE_PROGRAM_DIR/zorvane-lookup with the arguments and waits.
Run RunLookup(const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace batch_test
