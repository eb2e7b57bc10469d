// A top-level window of the program: fixed outer size centred on the whole
// screen, close box only, button-face background, its controls in
// description order, and the one keyboard pre-processing step that every
// key-down meant for the window or a control passes before it is dispatched.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "platform/window/control.h"

class QKeyEvent;

namespace platform {

// The frame the window system would add around the client area of a fixed,
// captioned window: 3-pixel borders and a 19-pixel caption bar. The client
// size is the outer size less this frame, whatever frame the window manager
// then draws.
inline constexpr int kFrameBorder = 3;
inline constexpr int kCaptionHeight = 19;

// The outer rectangle's top-left corner when the window is centred on a
// screen: (screen − window) / 2, truncating toward zero.
struct 位置 {
  int 左;
  int 顶;
};
位置 居中位置(int 屏幕宽, int 屏幕高, int 窗口宽, int 窗口高);

class 窗口 : public QWidget {
 public:
  窗口();
  ~窗口() override;

  void 置标题(std::string_view 标题);
  // Loads the icon resource at 32 × 32 (large) and 16 × 16 (small).
  void 置图标(std::string_view 资源名);
  // Sets the outer size and places the window centred on the whole screen.
  void 置外部尺寸并居中(int 宽, int 高);

  // Adds a created control at its place in description order, which is also
  // its stacking order and decides the Tab cycle.
  void 添加控件(控件& 控件, int 左, int 顶, int 宽, int 高, bool 可见);

  // The rest of loading once every control exists: stacking order, the
  // created event while the window is still hidden, then shown and active.
  void 载入();

  std::function<void()> 创建完毕;
  std::function<void()> 首次激活;
  // Runs at the end of the window's destruction, after its count dropped.
  std::function<void()> 已销毁;

  // The Tab cycle at this moment, its first member first.
  std::vector<控件*> Tab循环() const;

  static int 现存数量();
  // Destroys every window still alive (at exit).
  static void 销毁全部();

 protected:
  bool event(QEvent* 事件) override;
  bool eventFilter(QObject* 对象, QEvent* 事件) override;

 private:
  bool 预处理按键(控件* 目标, QKeyEvent& 事件);
  void 移动焦点(bool 向前);
  void 移交焦点();

  std::vector<控件*> 控件表_;
  bool 已首次激活_ = false;
};

}  // namespace platform
