#include "platform/window/key_codes.h"

#include <utility>

#include <QKeyEvent>

namespace platform {
namespace {

// Keys whose code is not their own Qt key code. Shifted symbols report the
// key they are on (a US layout), as the virtual-key code names the key, not
// the character.
constexpr std::pair<int, std::int32_t> kTable[] = {
    {Qt::Key_Backspace, 0x08},   {Qt::Key_Tab, 0x09},          {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},       {Qt::Key_Return, 0x0D},       {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},       {Qt::Key_Control, 0x11},      {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13},       {Qt::Key_CapsLock, 0x14},     {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},       {Qt::Key_PageUp, 0x21},       {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},         {Qt::Key_Home, 0x24},         {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},          {Qt::Key_Right, 0x27},        {Qt::Key_Down, 0x28},
    {Qt::Key_Print, 0x2C},       {Qt::Key_Insert, 0x2D},       {Qt::Key_Delete, 0x2E},
    {Qt::Key_Help, 0x2F},        {Qt::Key_Meta, 0x5B},         {Qt::Key_Super_L, 0x5B},
    {Qt::Key_Super_R, 0x5C},     {Qt::Key_Menu, 0x5D},         {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},  {Qt::Key_Semicolon, 0xBA},    {Qt::Key_Colon, 0xBA},
    {Qt::Key_Equal, 0xBB},       {Qt::Key_Plus, 0xBB},         {Qt::Key_Comma, 0xBC},
    {Qt::Key_Less, 0xBC},        {Qt::Key_Minus, 0xBD},        {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},      {Qt::Key_Greater, 0xBE},      {Qt::Key_Slash, 0xBF},
    {Qt::Key_Question, 0xBF},    {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_BraceLeft, 0xDB},    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_Bar, 0xDC},         {Qt::Key_BracketRight, 0xDD}, {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE},  {Qt::Key_QuoteDbl, 0xDE},     {Qt::Key_Exclam, 0x31},
    {Qt::Key_At, 0x32},          {Qt::Key_NumberSign, 0x33},   {Qt::Key_Dollar, 0x34},
    {Qt::Key_Percent, 0x35},     {Qt::Key_AsciiCircum, 0x36},  {Qt::Key_Ampersand, 0x37},
    {Qt::Key_Asterisk, 0x38},    {Qt::Key_ParenLeft, 0x39},    {Qt::Key_ParenRight, 0x30},
};

// The keypad keys whose code differs from the main keyboard key they print.
constexpr std::pair<int, std::int32_t> kKeypadTable[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B}, {Qt::Key_Comma, 0xBE}};

}  // namespace

std::int32_t 虚拟键码(const QKeyEvent& 事件) {
  const int 键 = 事件.key();
  if (事件.modifiers() & Qt::KeypadModifier) {
    for (const auto& [qt键, 码] : kKeypadTable) {
      if (qt键 == 键) return 码;
    }
  }
  if ((键 >= Qt::Key_0 && 键 <= Qt::Key_9) || (键 >= Qt::Key_A && 键 <= Qt::Key_Z)) return 键;
  if (键 >= Qt::Key_F1 && 键 <= Qt::Key_F24) return 0x70 + (键 - Qt::Key_F1);
  for (const auto& [qt键, 码] : kTable) {
    if (qt键 == 键) return 码;
  }
  return 0;
}

std::int32_t 功能键状态(const QKeyEvent& 事件) {
  const Qt::KeyboardModifiers 修饰 = 事件.modifiers();
  const int 键 = 事件.key();
  std::int32_t 状态 = 0;
  if ((修饰 & Qt::ControlModifier) && 键 != Qt::Key_Control) 状态 += 1;
  if ((修饰 & Qt::ShiftModifier) && 键 != Qt::Key_Shift) 状态 += 2;
  if ((修饰 & Qt::AltModifier) && 键 != Qt::Key_Alt) 状态 += 4;
  return 状态;
}

}  // namespace platform
