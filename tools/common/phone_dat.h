// The open binary block table that community lookup libraries ship as
// phone.dat:
//
//   4 bytes   version: four ASCII digits, year and month (2302)
//   4 bytes   offset of the first index entry, little-endian
//   records   "province|city|zip|areacode", UTF-8, each ended by a zero byte
//   index     9-byte entries to the end of the file: block (int32 LE), offset
//             of its record (int32 LE), carrier type (1 byte, 1..8)
//
// Carrier types: 1 移动, 2 联通, 3 电信, 4 电信虚拟, 5 联通虚拟, 6 移动虚拟,
// 7 广电, 8 广电虚拟.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/common/block_table.h"

namespace zdb {

struct PhoneDat {
  std::string version;       // the four digits as stored
  std::string data_version;  // the same as 20YY-MM
  BlockTable table;
};

// Parses and checks a whole file. A damaged file (offsets out of range, an
// index not strictly ascending, a record without its terminator or not
// starting where its entry says, a bad carrier type or field count) is
// refused with the byte offset or entry number and the reason.
bool ParsePhoneDat(std::span<const std::uint8_t> bytes, PhoneDat* out, std::string* error);

}  // namespace zdb
