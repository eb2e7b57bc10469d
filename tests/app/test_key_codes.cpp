// Qt keys as virtual-key codes and modifier states.
#include <gtest/gtest.h>

#include <QKeyEvent>

#include "platform/window/key_codes.h"

namespace {

struct 键用例 {
  int 键;
  Qt::KeyboardModifiers 修饰;
  std::int32_t 键代码;
  std::int32_t 功能键状态;
};

TEST(虚拟键码, MapsKeysAsTheKeyDownEventReportsThem) {
  const 键用例 用例[] = {
      {Qt::Key_Return, Qt::NoModifier, 13, 0},
      {Qt::Key_Enter, Qt::KeypadModifier, 13, 0},
      {Qt::Key_0, Qt::KeypadModifier, 0x30, 0},
      {Qt::Key_9, Qt::KeypadModifier, 0x39, 0},
      {Qt::Key_Minus, Qt::KeypadModifier, 0xBD, 0},
      {Qt::Key_Period, Qt::KeypadModifier, 0xBE, 0},
      {Qt::Key_Slash, Qt::KeypadModifier, 0xBF, 0},
      {Qt::Key_Asterisk, Qt::KeypadModifier, 0x6A, 0},
      {Qt::Key_Plus, Qt::KeypadModifier, 0x6B, 0},
      {Qt::Key_Minus, Qt::NoModifier, 0xBD, 0},
      {Qt::Key_A, Qt::ControlModifier, 0x41, 1},
      {Qt::Key_Exclam, Qt::ShiftModifier, 0x31, 2},
      {Qt::Key_Tab, Qt::NoModifier, 0x09, 0},
      {Qt::Key_Backtab, Qt::ShiftModifier, 0x09, 2},
      {Qt::Key_Escape, Qt::NoModifier, 0x1B, 0},
      {Qt::Key_F1, Qt::NoModifier, 0x70, 0},
      {Qt::Key_F12, Qt::AltModifier, 0x7B, 4},
      {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 0x25, 7},
      {Qt::Key_Delete, Qt::NoModifier, 0x2E, 0},
      // A modifier key being pressed does not report itself.
      {Qt::Key_Shift, Qt::ShiftModifier, 0x10, 0},
      {Qt::Key_Control, Qt::ControlModifier | Qt::ShiftModifier, 0x11, 2},
      {Qt::Key_Alt, Qt::AltModifier, 0x12, 0},
  };
  for (const auto& [键, 修饰, 键代码, 功能键状态] : 用例) {
    SCOPED_TRACE(键);
    const QKeyEvent 事件(QEvent::KeyPress, 键, 修饰);
    EXPECT_EQ(platform::虚拟键码(事件), 键代码);
    EXPECT_EQ(platform::功能键状态(事件), 功能键状态);
  }
}

}  // namespace
