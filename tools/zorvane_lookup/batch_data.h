// The location data of the batch lookup, loaded once through the program's
// data-access layer and then answered from memory: a lookup never reaches
// SQLite.
//
// The database file is opened exactly as the window opens it (its connection
// text and password). Its lookup image is read with one query; when the file
// has none, or the image fails its checks, the Mobile table is read row by
// row instead and turned into an image of the same form in memory, so both
// sources answer through the same interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/lookup_image.h"

namespace batch {

class LookupData {
 public:
  LookupData() = default;
  LookupData(const LookupData&) = delete;
  LookupData& operator=(const LookupData&) = delete;

  // database is the file's path (UTF-8). On failure returns false with a
  // one-line reason. *notice is set, to one line, when the table had to be
  // read instead of the image.
  bool Load(const std::string& database, std::string* notice, std::string* error);

  const lookup_image::LookupImage& image() const { return image_; }

 private:
  std::vector<std::uint8_t> bytes_;  // what image_ views
  lookup_image::LookupImage image_;
};

}  // namespace batch
