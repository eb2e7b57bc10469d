#include "lookup/lookup_command.h"

#include "lookup/data_components.h"
#include "lookup/decompose.h"
#include "lookup/query_view.h"
#include "platform/gbk.h"

namespace {

constexpr std::int32_t kEnter = 13;

查询文本 生成查询文本() {
  using platform::Utf8ToGbk;
  return 查询文本{
      .语句头 = Utf8ToGbk("select * from Mobile where num="),
      .号码行头 = Utf8ToGbk("您查询的电话号码为："),
      .供应商行头 = Utf8ToGbk("   该号码的供应商为："),
      .供应商缺失行 = Utf8ToGbk("  该号码的供应商为：数据不存在！\r\n"),
      .归属地行头 = Utf8ToGbk("   该号码的归属地为："),
      .归属地缺失行 = Utf8ToGbk("   该号码的归属地为：数据不存在,请检查输入或更新数据库。\r\n"),
      .提示框标题 = Utf8ToGbk("朔禾精灵提示您"),
      .位数错误 = Utf8ToGbk("您的输入有误，请查看您输入的号码位数是否错误"),
      .首位错误 = Utf8ToGbk("您的输入有误，请查看您输入的第一位是否错误！"),
      .欢迎文本 =
          Utf8ToGbk("欢迎登录 =朔禾科技= "
                    "实用软件，精品教程，手把手教您做软件。我们的宗旨是：『打造属于客户自己的"
                    "软件平台！』"),
  };
}

constexpr char kLineEnd[] = "\r\n";

}  // namespace

const 查询文本& 查询文本表() {
  static const 查询文本 文本 = 生成查询文本();
  return 文本;
}

void 执行查询(查询界面& 界面, 数据库连接& 数据库连接1, 记录集& 记录集1) {
  const 查询文本& 文本 = 查询文本表();

  界面.置结果框文本("");
  记录集1.绑定连接(数据库连接1);
  分解号码(界面);

  // The database is asked for every input, valid or not; the input is judged
  // only afterwards.
  记录集1.打开记录集(文本.语句头 + 加引号(号段), ado::kCmdText);
  std::string 归属地;
  std::string 供应商;
  const bool 归属地缺失 = !记录集1.读字段文本("area", 归属地);
  const bool 供应商缺失 = !记录集1.读字段文本("t", 供应商);

  if (首位数字 == 1) {
    界面.追加结果框文本(文本.号码行头 + 界面.号码框文本() + kLineEnd);
    界面.追加结果框文本(供应商缺失 ? 文本.供应商缺失行 : 文本.供应商行头 + 供应商 + kLineEnd);
    界面.追加结果框文本(归属地缺失 ? 文本.归属地缺失行 : 文本.归属地行头 + 归属地 + kLineEnd);
  } else {
    界面.显示提示框(首位数字 == 0 ? 文本.位数错误 : 文本.首位错误, 文本.提示框标题);
    界面.置号码框文本("");
    界面.置结果框文本(文本.欢迎文本);
    界面.置焦点于号码框();
  }

  界面.置号码框文本("");
}

void 编辑框手机号_按下某键(查询界面& 界面, 数据库连接& 数据库连接1, 记录集& 记录集1,
                           std::int32_t 键代码, std::int32_t /*功能键状态*/) {
  if (键代码 == kEnter) 执行查询(界面, 数据库连接1, 记录集1);
}
