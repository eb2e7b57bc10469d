// The lookup image: look-ups, and that no damaged or malformed image is
// accepted, since a lookup trusts it without bounds checks of its own.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>

#include "tools/common/lookup_image.h"

namespace {

using lookup_image::BlockPlace;
using lookup_image::Field;
using lookup_image::LookupImage;
using lookup_image::PlaceTexts;

const std::vector<PlaceTexts> kPlaces = {
    {"北京", "中国移动", "北京", "北京", "100000", "010"},
    {"广东 广州", "中国联通(虚拟运营商)", "广东", "广州", "510000", "020"},
    {"", "", "", "", "", ""},
};
const std::vector<BlockPlace> kBlocks = {{1300000, 2}, {1380013, 1}, {1380014, 3}, {1999999, 1}};

std::vector<std::uint8_t> Built() {
  std::vector<std::uint8_t> image;
  std::string error;
  if (!lookup_image::Build(kPlaces, kBlocks, "2025-02-01", &image, &error)) ADD_FAILURE() << error;
  return image;
}

// Recomputes the checksum, so that structural checks are reached.
void Reseal(std::vector<std::uint8_t>* image) {
  const std::size_t body = image->size() - lookup_image::kChecksumSize;
  unsigned int length = 0;
  EVP_Digest(image->data(), body, image->data() + body, &length, EVP_sha256(), nullptr);
}

void Put32(std::vector<std::uint8_t>* image, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*image)[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(LookupImage, AnswersEveryBlockOfItsRangeAndNothingOutside) {
  const std::vector<std::uint8_t> bytes = Built();
  LookupImage image;
  std::string error;
  ASSERT_TRUE(LookupImage::Open(bytes, &image, &error)) << error;
  EXPECT_EQ(image.first_block(), 1300000u);
  EXPECT_EQ(image.block_count(), 700000u);
  EXPECT_EQ(image.place_count(), 3u);
  EXPECT_EQ(image.row_count(), 4u);
  EXPECT_EQ(image.data_version(), "2025-02-01");

  const std::uint16_t beijing = image.PlaceId(1380013);
  ASSERT_NE(beijing, 0);
  EXPECT_EQ(image.Text(beijing, Field::kArea), "北京");
  EXPECT_EQ(image.Text(beijing, Field::kT), "中国移动");
  EXPECT_EQ(image.Text(beijing, Field::kCode), "010");
  const std::uint16_t guangzhou = image.PlaceId(1300000);
  EXPECT_EQ(image.Text(guangzhou, Field::kArea), "广东 广州");
  EXPECT_EQ(image.Text(guangzhou, Field::kT), "中国联通(虚拟运营商)");
  EXPECT_EQ(image.Text(guangzhou, Field::kProvince), "广东");
  EXPECT_EQ(image.Text(guangzhou, Field::kCity), "广州");
  EXPECT_EQ(image.Text(guangzhou, Field::kZip), "510000");
  EXPECT_EQ(image.PlaceId(1999999), beijing);
  // A row of empty texts is a row, not a missing one.
  EXPECT_NE(image.PlaceId(1380014), 0);
  EXPECT_EQ(image.Text(image.PlaceId(1380014), Field::kArea), "");

  for (std::uint32_t none : {1380012u, 1299999u, 2000000u, 0u, 0xFFFFFFFFu}) {
    EXPECT_EQ(image.PlaceId(none), 0) << none;
  }
  EXPECT_EQ(image.Text(0, Field::kArea), "");
  EXPECT_EQ(image.Text(4, Field::kArea), "");
}

TEST(LookupImage, ChecksumCatchesAnyChangedByte) {
  const std::vector<std::uint8_t> good = Built();
  // A byte in the header, the ids, the string pool and the checksum itself.
  for (std::size_t at :
       {std::size_t{13}, std::size_t{64 + 2 * 80013}, good.size() - 40, good.size() - 1}) {
    std::vector<std::uint8_t> bad = good;
    bad[at] ^= 0x01;
    LookupImage image;
    std::string error;
    EXPECT_FALSE(LookupImage::Open(bad, &image, &error)) << at;
    EXPECT_EQ(error, "lookup image: checksum mismatch (the image is damaged)") << at;
    EXPECT_EQ(image.row_count(), 0u);
  }
}

TEST(LookupImage, RefusesMalformedImagesEvenWithAValidChecksum) {
  const std::vector<std::uint8_t> good = Built();
  struct Case {
    const char* name;
    void (*damage)(std::vector<std::uint8_t>*);
    const char* error;
  };
  const Case cases[] = {
      {"truncated", [](auto* b) { b->resize(50); }, "lookup image: too short"},
      {"extended", [](auto* b) { b->push_back(0); },
       "lookup image: size does not match its header"},
      {"magic", [](auto* b) { (*b)[0] = 'X'; }, "lookup image: bad magic"},
      {"version", [](auto* b) { Put32(b, 8, 2); }, "lookup image: format version 2 is not 1"},
      {"id beyond the places", [](auto* b) { (*b)[64] = 9; },
       "lookup image: block 1300000 names a missing place"},
      {"row count", [](auto* b) { Put32(b, 24, 5); },
       "lookup image: row count does not match the ids"},
      {"range beyond 1999999", [](auto* b) { Put32(b, 12, 1300001); },
       "lookup image: bad block range"},
      {"block count", [](auto* b) { Put32(b, 16, 699998); }, "lookup image: bad section offsets"},
      {"string index",
       [](auto* b) {
         const std::size_t index = b->at(32) | (b->at(33) << 8) | (b->at(34) << 16);
         Put32(b, index + 4, 0xFFFF);
       },
       "lookup image: bad string index"},
      {"data version", [](auto* b) { (*b)[44] = ' '; }, "lookup image: bad data version"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bad = good;
    c.damage(&bad);
    if (bad.size() == good.size()) Reseal(&bad);
    LookupImage image;
    std::string error;
    EXPECT_FALSE(LookupImage::Open(bad, &image, &error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST(LookupImage, BuilderRefusesWhatTheFormatCannotHold) {
  struct Case {
    const char* name;
    std::vector<BlockPlace> blocks;
    std::string version;
    const char* error;
  };
  const Case cases[] = {
      {"no blocks", {}, "v", "the image needs at least one block"},
      {"below 1000000", {{999999, 1}}, "v", "the image covers blocks 1000000 to 1999999 only"},
      {"above 1999999",
       {{1300000, 1}, {2000000, 1}},
       "v",
       "the image covers blocks 1000000 to 1999999 only"},
      {"unsorted",
       {{1300001, 1}, {1300000, 1}, {1300002, 1}},
       "v",
       "blocks must ascend strictly (block 1300000)"},
      {"duplicate",
       {{1300000, 1}, {1300000, 1}, {1300002, 1}},
       "v",
       "blocks must ascend strictly (block 1300000)"},
      {"place 0", {{1300000, 0}}, "v", "block 1300000 names place 0 of 3"},
      {"place beyond", {{1300000, 4}}, "v", "block 1300000 names place 4 of 3"},
      {"long version",
       {{1300000, 1}},
       "2025-02-01-extra-",
       "data version must be 1 to 16 printable ASCII characters without blanks"},
      {"blank in version",
       {{1300000, 1}},
       "2025 02",
       "data version must be 1 to 16 printable ASCII characters without blanks"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image;
    std::string error;
    EXPECT_FALSE(lookup_image::Build(kPlaces, c.blocks, c.version, &image, &error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

}  // namespace
