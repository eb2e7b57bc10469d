// One whole lookup command against the built database: the time from Enter
// to the three result lines, without the window's painting.
#include <benchmark/benchmark.h>

#include <string>

#include "lookup/data_components.h"
#include "lookup/lookup_command.h"
#include "lookup/query_view.h"
#include "platform/ado.h"
#include "platform/gbk.h"

namespace {

class SilentView : public 查询界面 {
 public:
  std::string number;
  std::string result;
  std::string 号码框文本() const override { return number; }
  void 置号码框文本(std::string_view text) override { number = text; }
  void 置结果框文本(std::string_view text) override { result = text; }
  void 追加结果框文本(std::string_view text) override { result += text; }
  void 置焦点于号码框() override {}
  void 显示提示框(std::string_view, std::string_view) override {}
  void 显示错误框(std::string_view) override {}
};

const std::string kDatabase = std::string(ZORVANE_PROGRAM_DIR) + "/Source/Mobile_DB.dat";

void BM_LookupCommand(benchmark::State& state) {
  ado::Initialize();
  SilentView view;
  数据库连接 connection;
  记录集 recordset(view);
  if (!connection.连接数据库文件(platform::Utf8ToGbk(kDatabase), kDatabasePassword)) {
    state.SkipWithError("cannot open the built database");
    return;
  }
  for ([[maybe_unused]] auto _ : state) {
    view.number = "13800138000";
    执行查询(view, connection, recordset);
    benchmark::DoNotOptimize(view.result);
  }
  if (view.result.find(platform::Utf8ToGbk("北京")) == std::string::npos) {
    state.SkipWithError("unexpected result");
  }
}
BENCHMARK(BM_LookupCommand);

void BM_OpenDatabase(benchmark::State& state) {
  ado::Initialize();
  for ([[maybe_unused]] auto _ : state) {
    数据库连接 connection;
    benchmark::DoNotOptimize(
        connection.连接数据库文件(platform::Utf8ToGbk(kDatabase), kDatabasePassword));
  }
}
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
