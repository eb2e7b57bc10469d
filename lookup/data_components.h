// The two data components of the main window: the database connection and
// the record set, with the four operations the program performs on them.
//
// Each owns its data-access object (absent when its creation failed). No
// error escapes an operation: each reports through its logical result, and
// only a failed open shows anything (the data-access error box).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ado.h"

class 错误提示;

class 数据库连接 {
 public:
  explicit 数据库连接(
      std::unique_ptr<ado::Connection> 连接对象 = std::make_unique<ado::Connection>());
  ~数据库连接();
  数据库连接(const 数据库连接&) = delete;
  数据库连接& operator=(const 数据库连接&) = delete;

  // Opens the database file with its password; true when the connection is
  // open. Any failure is silent.
  bool 连接数据库文件(std::string_view 文件路径, std::string_view 密码);

  ado::Connection* 连接对象() const { return 连接对象_.get(); }
  const std::string& 连接文本() const { return 连接文本_; }

 private:
  std::unique_ptr<ado::Connection> 连接对象_;
  std::string 连接文本_;
};

class 记录集 {
 public:
  explicit 记录集(错误提示& 提示,
                  std::unique_ptr<ado::Recordset> 记录集对象 = std::make_unique<ado::Recordset>());
  ~记录集();
  记录集(const 记录集&) = delete;
  记录集& operator=(const 记录集&) = delete;

  // Binds this record set to a connection component (not owned); true when
  // both components exist.
  bool 绑定连接(数据库连接& 连接);

  // 源类型 1: statement text; 2: table name. 游标位置 1 to 3 (default 3,
  // client-side). A failed open shows the data-access error box.
  bool 打开记录集(std::string_view 源文本, std::int32_t 源类型,
                  std::optional<std::int32_t> 游标位置 = std::nullopt);

  // Reads the named field of the current row as text into 变量; a failed
  // read leaves the empty text there.
  bool 读字段文本(std::string_view 字段名, std::string& 变量);

  ado::Recordset* 记录集对象() const { return 记录集对象_.get(); }

 private:
  错误提示& 提示_;
  std::unique_ptr<ado::Recordset> 记录集对象_;
  数据库连接* 绑定的连接_ = nullptr;
  std::string 源文本_;
};

// A field value as text, by the value's kind.
std::string 字段值转文本(const ado::Variant& 值);
