#include "platform/window/process.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

bool 置当前目录(std::string_view 目录) { return ::chdir(std::string(目录).c_str()) == 0; }

库句柄 载入库(std::string_view 路径) {
  std::string 文件(路径);
  std::replace(文件.begin(), 文件.end(), '\\', '/');
  return ::dlopen(文件.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* 取入口地址(库句柄 库, std::string_view 名称) {
  if (!库) return nullptr;
  return ::dlsym(库, std::string(名称).c_str());
}

void 释放库(库句柄 库) {
  if (库) ::dlclose(库);
}

}  // namespace platform
