// Process services: the current directory and libraries loaded at run time.
// (The program's folder is ProgramDirectory() of platform/program_dir.h.)
#pragma once

#include <string>
#include <string_view>

namespace platform {

bool 置当前目录(std::string_view 目录);

using 库句柄 = void*;

// Loads a shared library; backslashes in 路径 are path separators. Null when
// it cannot be loaded.
库句柄 载入库(std::string_view 路径);
// The address of an exported entry; null when there is none.
void* 取入口地址(库句柄 库, std::string_view 名称);
void 释放库(库句柄 库);

}  // namespace platform
