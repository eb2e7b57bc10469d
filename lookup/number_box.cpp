#include "lookup/number_box.h"

std::size_t Gbk字符长度(std::string_view 文本) {
  if (文本.size() < 2) return 文本.size();
  auto 首 = static_cast<unsigned char>(文本[0]);
  auto 次 = static_cast<unsigned char>(文本[1]);
  bool 双字节 = 首 >= 0x81 && 首 <= 0xFE && 次 >= 0x40 && 次 <= 0xFE && 次 != 0x7F;
  return 双字节 ? 2 : 1;
}

std::string 截取号码框容量(std::string_view 文本) {
  std::size_t 长度 = 0;
  while (长度 < 文本.size()) {
    std::size_t n = Gbk字符长度(文本.substr(长度));
    if (长度 + n > kNumberBoxLimit) break;
    长度 += n;
  }
  return std::string(文本.substr(0, 长度));
}
