// Small fixtures for the database tool's tests: block tables as text, a
// phone.dat writer, files, and zorvane-db run in process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/run_program.h"
#include "tools/zorvane_db/commands.h"

namespace db_test {

// One row of every carrier, a municipality, sorted: the shape of data/.
inline constexpr std::string_view kSmallTsv =
    "num\tprovince\tcity\tzip\tareacode\tcarrier\n"
    "1300000\t山东\t济南\t250000\t0531\t联通\n"
    "1300001\t江苏\t常州\t213000\t0519\t联通\n"
    "1340000\t河北\t石家庄\t50000\t0311\t移动\n"
    "1380013\t北京\t北京\t100000\t010\t移动\n"
    "1530000\t广东\t广州\t510000\t020\t电信\n"
    "1678306\t重庆\t重庆\t400000\t023\t未知\n"
    "1700000\t广东\t广州\t510000\t020\t移动虚拟\n"
    "1700500\t上海\t上海\t200000\t021\t联通虚拟\n"
    "1701000\t四川\t成都\t610000\t028\t电信虚拟\n"
    "1920000\t广东\t深圳\t518000\t0755\t广电\n";

using zorvane_test::ReadBytes;
using zorvane_test::WriteText;

inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A phone.dat file put together from its parts; entries name records by
// their index in `records`. Tests damage the bytes afterwards.
struct PhoneDatEntry {
  std::uint32_t block;
  std::size_t record;
  std::uint8_t type;
};

inline void Put32(std::string* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) *out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string MakePhoneDat(std::string_view version, const std::vector<std::string>& records,
                                const std::vector<PhoneDatEntry>& entries) {
  std::string records_area;
  std::vector<std::uint32_t> offsets;
  for (const std::string& r : records) {
    offsets.push_back(static_cast<std::uint32_t>(8 + records_area.size()));
    records_area += r;
    records_area += '\0';
  }
  std::string out(version);
  Put32(&out, static_cast<std::uint32_t>(8 + records_area.size()));
  out += records_area;
  for (const PhoneDatEntry& e : entries) {
    Put32(&out, e.block);
    Put32(&out, offsets.at(e.record));
    out += static_cast<char>(e.type);
  }
  return out;
}

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

inline RunResult RunDb(std::vector<std::string> args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  std::ostringstream out, err;
  const int status = zdb::RunZorvaneDb(views, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace db_test
