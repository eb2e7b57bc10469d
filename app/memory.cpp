// Memory that cannot be obtained is a fatal error of the program, reported
// with the byte count, wherever the allocation was made.
#include <cstdlib>
#include <new>

#include "app/startup.h"

namespace {

void* 分配(std::size_t 字节数) {
  if (void* 内存 = std::malloc(字节数 == 0 ? 1 : 字节数)) return 内存;
  报告致命错误(内存分配失败消息(字节数), 0);
}

}  // namespace

void* operator new(std::size_t 字节数) { return 分配(字节数); }
void* operator new[](std::size_t 字节数) { return 分配(字节数); }
void* operator new(std::size_t 字节数, const std::nothrow_t&) noexcept {
  return std::malloc(字节数 == 0 ? 1 : 字节数);
}
void* operator new[](std::size_t 字节数, const std::nothrow_t&) noexcept {
  return std::malloc(字节数 == 0 ? 1 : 字节数);
}
void operator delete(void* 内存) noexcept { std::free(内存); }
void operator delete[](void* 内存) noexcept { std::free(内存); }
void operator delete(void* 内存, std::size_t) noexcept { std::free(内存); }
void operator delete[](void* 内存, std::size_t) noexcept { std::free(内存); }
void operator delete(void* 内存, const std::nothrow_t&) noexcept { std::free(内存); }
void operator delete[](void* 内存, const std::nothrow_t&) noexcept { std::free(内存); }
