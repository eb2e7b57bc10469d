// Any bytes as a phone.dat file. The importer either refuses them with a
// message, leaving its output alone, or gives a table that passes every
// check a table must pass; that table is then built into a lookup image,
// which must open and give every block its place's texts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "tools/common/block_table.h"
#include "tools/common/lookup_image.h"
#include "tools/common/phone_dat.h"

namespace {

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "phone_dat: %s\n", what);
  std::abort();
}

void CheckTable(const zdb::BlockTable& table) {
  Expect(!table.blocks.empty(), "an accepted table has rows");
  Expect(table.places.size() <= zdb::kMaxPlaces, "place ids fit 16 bits");
  for (const zdb::Place& p : table.places) {
    Expect(zdb::CheckPlace(p).empty(), "every place passes CheckPlace");
  }
  std::uint32_t previous = 0;
  std::vector<bool> used(table.places.size(), false);
  for (const zdb::Block& b : table.blocks) {
    Expect(b.num >= zdb::kLowestBlock && b.num <= zdb::kHighestBlock, "block in range");
    Expect(b.num > previous, "blocks ascend without duplicates");
    Expect(b.place >= 1 && b.place <= table.places.size(), "place id in range");
    used[b.place - 1u] = true;
    previous = b.num;
  }
  for (bool u : used) Expect(u, "every place is used by a block");
}

void CheckImage(const zdb::BlockTable& table, std::string_view data_version) {
  std::vector<std::string> areas;
  areas.reserve(table.places.size());
  std::vector<lookup_image::PlaceTexts> places;
  for (const zdb::Place& p : table.places) {
    areas.push_back(p.Area());
    places.push_back({areas.back(), p.T(), p.province, p.city, p.zip, p.code});
  }
  std::vector<lookup_image::BlockPlace> blocks;
  for (const zdb::Block& b : table.blocks) blocks.push_back({b.num, b.place});
  std::vector<std::uint8_t> bytes;
  std::string error;
  lookup_image::LookupImage image;
  Expect(lookup_image::Build(places, blocks, data_version, &bytes, &error),
         "an accepted table builds an image");
  Expect(lookup_image::LookupImage::Open(bytes, &image, &error), "the image opens");
  Expect(image.row_count() == table.blocks.size(), "the image has every row");
  for (const zdb::Block& b : table.blocks) {
    Expect(image.PlaceId(b.num) == b.place, "the image gives each block its place");
    const zdb::Place& p = table.PlaceOf(b);
    Expect(image.Text(b.place, lookup_image::Field::kProvince) == p.province &&
               image.Text(b.place, lookup_image::Field::kCity) == p.city &&
               image.Text(b.place, lookup_image::Field::kZip) == p.zip &&
               image.Text(b.place, lookup_image::Field::kCode) == p.code &&
               image.Text(b.place, lookup_image::Field::kT) == p.T(),
           "the image gives the place's texts");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zdb::PhoneDat dat;
  dat.version = "untouched";
  std::string error;
  if (!zdb::ParsePhoneDat(std::span(data, size), &dat, &error)) {
    Expect(!error.empty(), "a refusal says why");
    Expect(dat.version == "untouched" && dat.table.blocks.empty(), "a refusal leaves the output");
    return 0;
  }
  Expect(dat.version.size() == 4, "the version is four digits");
  Expect(zdb::IsValidDataVersion(dat.data_version), "the data version is one the tool accepts");
  CheckTable(dat.table);
  CheckImage(dat.table, dat.data_version);
  return 0;
}
