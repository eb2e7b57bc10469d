// The input of the batch benchmark: COUNT eleven-digit mobile numbers, one
// per line, KNOWN percent of them in blocks of the block table and the rest
// in blocks that it does not hold. The same seed gives the same file on
// every machine (mt19937_64 is fully specified; no library distribution is
// used).
//
//   bench_batch_input TABLE COUNT KNOWN_PERCENT SEED > numbers.txt
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: bench_batch_input TABLE COUNT KNOWN_PERCENT SEED\n", stderr);
    return 2;
  }
  std::ifstream table(argv[1]);
  const long count = std::atol(argv[2]);
  const long known_percent = std::atol(argv[3]);
  std::mt19937_64 random(std::strtoull(argv[4], nullptr, 10));

  constexpr std::uint32_t kLowest = 1000000;
  constexpr std::uint32_t kBlocks = 1000000;  // 1000000 .. 1999999
  std::vector<std::uint32_t> known;
  std::vector<bool> is_known(kBlocks);
  std::string line;
  std::getline(table, line);  // header
  while (std::getline(table, line)) {
    const std::uint32_t block = static_cast<std::uint32_t>(std::strtoul(line.c_str(), nullptr, 10));
    if (block < kLowest || block >= kLowest + kBlocks) continue;
    known.push_back(block);
    is_known[block - kLowest] = true;
  }
  if (known.empty() || known.size() == kBlocks || count < 0) {
    std::fprintf(stderr, "bench_batch_input: no usable blocks in %s\n", argv[1]);
    return 1;
  }

  std::string out;
  out.reserve(static_cast<std::size_t>(count) * 12);
  char digits[16];
  for (long i = 0; i < count; ++i) {
    std::uint32_t block;
    if (static_cast<long>(random() % 100) < known_percent) {
      block = known[random() % known.size()];
    } else {
      do {
        block = kLowest + static_cast<std::uint32_t>(random() % kBlocks);
      } while (is_known[block - kLowest]);
    }
    std::snprintf(digits, sizeof digits, "%07u%04u\n", block,
                  static_cast<unsigned>(random() % 10000));
    out += digits;
  }
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0
             ? 0
             : 1;
}
