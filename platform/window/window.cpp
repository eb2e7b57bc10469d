#include "platform/window/window.h"

#include <algorithm>

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>

#include "platform/window/key_codes.h"

namespace platform {
namespace {

std::vector<窗口*>& 全部窗口() {
  static std::vector<窗口*> 表;
  return 表;
}

}  // namespace

位置 居中位置(int 屏幕宽, int 屏幕高, int 窗口宽, int 窗口高) {
  return {(屏幕宽 - 窗口宽) / 2, (屏幕高 - 窗口高) / 2};
}

窗口::窗口()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  全部窗口().push_back(this);
}

窗口::~窗口() {
  std::erase(全部窗口(), this);
  if (已销毁) 已销毁();
}

int 窗口::现存数量() { return static_cast<int>(全部窗口().size()); }

void 窗口::销毁全部() {
  while (!全部窗口().empty()) delete 全部窗口().back();
}

void 窗口::置标题(std::string_view 标题) {
  setWindowTitle(转界面文本(标题));
  setAccessibleName(windowTitle());
}

void 窗口::置图标(std::string_view 资源名) {
  const QString 名 = QString::fromLatin1(资源名.data(), static_cast<qsizetype>(资源名.size()));
  const QPixmap 原图(QStringLiteral(":/%1/32.png").arg(名));
  if (原图.isNull()) return;
  QIcon 图标;
  图标.addPixmap(原图.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  图标.addPixmap(原图.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  setWindowIcon(图标);
}

void 窗口::置外部尺寸并居中(int 宽, int 高) {
  setFixedSize(宽 - 2 * kFrameBorder, 高 - kCaptionHeight - 2 * kFrameBorder);
  const QScreen* 屏幕 = QGuiApplication::primaryScreen();
  const QRect 全屏 = 屏幕 ? 屏幕->geometry() : QRect(0, 0, 宽, 高);
  const 位置 处 = 居中位置(全屏.width(), 全屏.height(), 宽, 高);
  move(全屏.left() + 处.左, 全屏.top() + 处.顶);
}

void 窗口::添加控件(控件& 新控件, int 左, int 顶, int 宽, int 高, bool 可见) {
  QWidget& 部件 = 新控件.部件();
  部件.setParent(this);
  部件.setGeometry(左, 顶, 宽, 高);
  部件.setVisible(可见);
  部件.installEventFilter(this);
  新控件.套用颜色();
  控件表_.push_back(&新控件);
}

void 窗口::载入() {
  // The first control lies on top.
  for (auto 它 = 控件表_.rbegin(); 它 != 控件表_.rend(); ++它) (*它)->部件().raise();
  QPointer<窗口> 自身(this);
  if (创建完毕) 创建完毕();
  if (!自身) return;
  show();
  activateWindow();
}

std::vector<控件*> 窗口::Tab循环() const {
  std::vector<控件*> 循环;
  // On equal tab-order values the control later in description order comes first.
  for (auto 它 = 控件表_.rbegin(); 它 != 控件表_.rend(); ++它) {
    const QWidget& 部件 = (*它)->部件();
    if ((*它)->停留 && 部件.isVisibleTo(this) && 部件.isEnabled() &&
        部件.focusPolicy() != Qt::NoFocus) {
      循环.push_back(*它);
    }
  }
  std::stable_sort(循环.begin(), 循环.end(),
                   [](const 控件* 甲, const 控件* 乙) { return 甲->Tab顺序 < 乙->Tab顺序; });
  return 循环;
}

void 窗口::移动焦点(bool 向前) {
  const std::vector<控件*> 循环 = Tab循环();
  if (循环.empty()) return;
  const QWidget* 焦点 = QApplication::focusWidget();
  const auto 当前 =
      std::find_if(循环.begin(), 循环.end(), [焦点](控件* 成员) { return &成员->部件() == 焦点; });
  std::size_t 下个 = 0;
  if (当前 == 循环.end()) {
    下个 = 向前 ? 0 : 循环.size() - 1;
  } else {
    const auto 序号 = static_cast<std::size_t>(当前 - 循环.begin());
    下个 = 向前 ? (序号 + 1) % 循环.size() : (序号 + 循环.size() - 1) % 循环.size();
  }
  循环[下个]->部件().setFocus(向前 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

// Qt's focusWidget() is the control that had the focus when the window was
// deactivated, or that was given it since; a destroyed control leaves none.
void 窗口::移交焦点() {
  const QWidget* 记住的 = focusWidget();
  for (控件* 成员 : 控件表_) {
    if (记住的 && &成员->部件() == 记住的) {
      成员->部件().setFocus(Qt::ActiveWindowFocusReason);
      return;
    }
  }
  const std::vector<控件*> 循环 = Tab循环();
  if (!循环.empty()) 循环.front()->部件().setFocus(Qt::ActiveWindowFocusReason);
}

bool 窗口::预处理按键(控件* 目标, QKeyEvent& 事件) {
  const std::int32_t 键代码 = 虚拟键码(事件);
  const Qt::KeyboardModifiers 修饰 =
      事件.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (!(目标 && 目标->认领按键(键代码))) {
    if (键代码 == kVkTab && (修饰 == Qt::NoModifier || 修饰 == Qt::ShiftModifier)) {
      移动焦点(修饰 == Qt::NoModifier);
      return true;
    }
    if (键代码 == kVkReturn && 修饰 == Qt::NoModifier) {
      if (目标 && 目标->是默认按钮()) {
        目标->单击();
        return true;
      }
      for (控件* 成员 : 控件表_) {
        if (成员->是默认按钮()) {
          成员->单击();
          return true;
        }
      }
    }
    if (键代码 == kVkEscape && 修饰 == Qt::NoModifier) {
      close();
      return true;
    }
    // F1 (help is off), the arrows and Alt with a letter have no window-level
    // meaning here and go on.
  }
  if (目标 && 目标->按下某键) {
    const std::optional<bool> 结果 = 目标->按下某键(键代码, 功能键状态(事件));
    if (结果 && !*结果) return true;
  }
  return false;
}

bool 窗口::eventFilter(QObject* 对象, QEvent* 事件) {
  if (事件->type() == QEvent::KeyPress) {
    for (控件* 成员 : 控件表_) {
      if (&成员->部件() == 对象) return 预处理按键(成员, static_cast<QKeyEvent&>(*事件));
    }
  }
  return QWidget::eventFilter(对象, 事件);
}

bool 窗口::event(QEvent* 事件) {
  switch (事件->type()) {
    case QEvent::KeyPress: {
      // Only a key addressed to the window itself; a key a control let go
      // has been through the pre-processing already.
      const QWidget* 焦点 = QApplication::focusWidget();
      if ((焦点 == nullptr || 焦点 == this) &&
          预处理按键(nullptr, static_cast<QKeyEvent&>(*事件))) {
        return true;
      }
      break;
    }
    case QEvent::WindowActivate:
      移交焦点();
      if (!已首次激活_) {
        已首次激活_ = true;
        if (首次激活) 首次激活();
      }
      break;
    case QEvent::ApplicationPaletteChange:
      for (控件* 成员 : 控件表_) 成员->套用颜色();
      break;
    default:
      break;
  }
  return QWidget::event(事件);
}

}  // namespace platform
