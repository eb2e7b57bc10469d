// Enter to result in the main window: the time from the Enter key reaching
// the number box to the three result lines standing in the result box, with
// the real database, on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <cstdio>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/gbk.h"
#include "platform/window/gui_start.h"

namespace {

void BM_EnterToResult(benchmark::State& state) {
  准备应用程序(ZORVANE_PROGRAM_DIR);
  QPointer<启动窗口> window = 载入启动窗口();
  if (!window) {
    state.SkipWithError("the main window did not load");
    return;
  }
  QWidget& number_box = window->编辑框手机号->部件();
  const std::string number = "13800138000";
  const std::string expected = platform::Utf8ToGbk(
      "您查询的电话号码为：13800138000\r\n   该号码的供应商为：中国移动\r\n"
      "   该号码的归属地为：北京\r\n");
  for ([[maybe_unused]] auto _ : state) {
    state.PauseTiming();
    window->置号码框文本(number);
    state.ResumeTiming();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(&number_box, &enter);
    benchmark::DoNotOptimize(window->编辑框结果->文本());
  }
  if (window->编辑框结果->文本() != expected) state.SkipWithError("unexpected result lines");
  退出清理();
}
BENCHMARK(BM_EnterToResult)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto application = platform::启动图形界面(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
