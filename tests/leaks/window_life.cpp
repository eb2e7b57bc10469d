// The window's whole life for the leak checkers (valgrind memcheck in the
// normal build, LeakSanitizer in the sanitizer build): the program's own
// start, message loop and exit clean-up, with a script that runs inside the
// loop as a person would act: three lookups (found, not found, rejected, its
// message box closed with OK), then Esc.
//
// It lives beside the program, so that the start finds Source/ as the
// program does. Exit status: the program's (0), or 1 when a lookup did not
// show what it should or the script did not get to its end.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/gbk.h"
#include "platform/window/gui_start.h"

namespace {

启动窗口* MainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = dynamic_cast<启动窗口*>(widget)) return window;
  }
  return nullptr;
}

void Key(int key, const QString& text = {}) {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr) return;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(focus, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(focus, &release);
}

void Type(const QString& text) {
  for (const QChar c : text) Key(0, QString(c));
}

struct Lookup {
  const char* number;
  std::string result;  // the result box afterwards, UTF-8
};

// The steps, each run once the window is up with the focus in the number box.
class Script {
 public:
  Script() {
    // The rejection's box runs a loop of its own; this timer runs in it too.
    closer_.setInterval(20);
    QObject::connect(&closer_, &QTimer::timeout, [] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
          box->button(QMessageBox::Ok)->click();
        }
      }
    });
    closer_.start();
    stepper_.setInterval(20);
    QObject::connect(&stepper_, &QTimer::timeout, [this] { Step(); });
    stepper_.start();
  }

  bool done() const { return next_ > lookups_.size(); }
  bool failed() const { return failed_; }

 private:
  void Step() {
    启动窗口* window = MainWindow();
    if (window == nullptr || QApplication::focusWidget() != &window->编辑框手机号->部件()) return;
    if (next_ == lookups_.size()) {
      ++next_;
      stepper_.stop();
      Key(Qt::Key_Escape);
      return;
    }
    const Lookup& lookup = lookups_[next_++];
    Type(QString::fromLatin1(lookup.number));
    Key(Qt::Key_Return, QStringLiteral("\r"));
    const std::string shown = platform::GbkToUtf8(window->编辑框结果->文本());
    if (shown != lookup.result) {
      std::fprintf(stderr, "window_life: %s showed\n%s\ninstead of\n%s\n", lookup.number,
                   shown.c_str(), lookup.result.c_str());
      failed_ = true;
    }
  }

  const std::vector<Lookup> lookups_ = {
      {"13800138000",
       "您查询的电话号码为：13800138000\r\n   该号码的供应商为：中国移动\r\n"
       "   该号码的归属地为：北京\r\n"},
      {"12000000000",
       "您查询的电话号码为：12000000000\r\n  该号码的供应商为：数据不存在！\r\n"
       "   该号码的归属地为：数据不存在,请检查输入或更新数据库。\r\n"},
      {"23800138000",
       "欢迎登录 =朔禾科技= 实用软件，精品教程，手把手教您做软件。我们的宗旨是：『打造属于客户自己"
       "的软件平台！』"},
  };
  std::size_t next_ = 0;
  bool failed_ = false;
  QTimer closer_;
  QTimer stepper_;
};

}  // namespace

int main(int argc, char** argv) {
  const auto 图形界面 = platform::启动图形界面(argc, argv);
  int status = 0;
  {
    Script script;
    启动程序();
    if (script.failed() || !script.done()) status = 1;
  }
  退出清理();
  return status != 0 ? status : 本程序().退出码;
}
