// The lookup command: run by the query button and by Enter in the number box.
//
// Its order is its defining trait: the result box is cleared first, the
// database is queried for every input, valid or not, only then is the input
// judged by its leading digit alone, and the number box is cleared last.
#pragma once

#include <cstdint>
#include <string>

class 查询界面;
class 数据库连接;
class 记录集;

// The database file and its password, as the window opens them at start.
inline constexpr char kDatabaseFile[] = "Source\\Mobile_DB.dat";
inline constexpr char kDatabasePassword[] = "Rk#5pLx%qN2*zVm8^";

void 执行查询(查询界面& 界面, 数据库连接& 数据库连接1, 记录集& 记录集1);

// Key-down handler of the number box: Enter (13) runs the lookup, whatever
// modifiers are held; every other key does nothing. It returns no value, so
// the key goes on to the box.
void 编辑框手机号_按下某键(查询界面& 界面, 数据库连接& 数据库连接1, 记录集& 记录集1,
                           std::int32_t 键代码, std::int32_t 功能键状态);

// The texts of the command (GBK), for the front ends and the tests.
struct 查询文本 {
  std::string 语句头;
  std::string 号码行头;
  std::string 供应商行头;
  std::string 供应商缺失行;
  std::string 归属地行头;
  std::string 归属地缺失行;
  std::string 提示框标题;
  std::string 位数错误;
  std::string 首位错误;
  std::string 欢迎文本;
};
const 查询文本& 查询文本表();
