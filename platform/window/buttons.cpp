#include "platform/window/buttons.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>

namespace platform {
namespace {

class 超级按钮实现 final : public QAbstractButton, public 超级按钮 {
 public:
  explicit 超级按钮实现(const 超级按钮设置& 设置) : 设置_(设置) {
    setText(转界面文本(设置_.标题));
    setFont(取字体(设置_.字体));
    setToolTip(转界面文本(设置_.提示));
    setAccessibleName(text());
    setAccessibleDescription(转界面文本(设置_.提示));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, [this] {
      if (被单击) 被单击();
    });
  }

  QWidget& 部件() override { return *this; }
  const 超级按钮设置& 设置() const override { return 设置_; }
  bool 正按下() const override { return isDown(); }
  bool 是默认按钮() const override { return 设置_.默认按钮; }
  void 单击() override { click(); }

 protected:
  // The tooltip is measured only when it is about to show.
  bool event(QEvent* 事件) override {
    if (事件->type() == QEvent::ToolTip) {
      QToolTip::showText(static_cast<QHelpEvent*>(事件)->globalPos(),
                         提示文本(设置_.提示, QToolTip::font()), this);
      return true;
    }
    return QAbstractButton::event(事件);
  }

  // Flat in every state: no frame, no focus rectangle; only the caption moves
  // 1 pixel right and down while the button is pressed.
  void paintEvent(QPaintEvent*) override {
    const 颜色对& 配色 = isDown() || underMouse() ? 设置_.悬停或按下
                         : hasFocus()             ? 设置_.焦点
                                                  : 设置_.正常;
    const QPalette 系统 = QApplication::palette();
    QPainter 画笔(this);
    画笔.fillRect(rect(), 取颜色(配色.背景色, 系统));
    画笔.setPen(取颜色(配色.文本色, 系统));
    画笔.setFont(font());
    const QRect 区域 = isDown() ? rect().translated(1, 1) : rect();
    画笔.drawText(区域, Qt::AlignCenter | Qt::TextWordWrap, text());
  }

 private:
  超级按钮设置 设置_;
};

class 按钮实现 final : public QPushButton, public 按钮 {
 public:
  explicit 按钮实现(const 按钮设置& 设置) : 设置_(设置) {
    setText(转界面文本(设置_.标题));
    setFont(取字体(设置_.字体));
    setAutoDefault(false);
    setDefault(设置_.默认按钮);
    setAccessibleName(text());
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
      if (被单击) 被单击();
    });
  }

  QWidget& 部件() override { return *this; }
  bool 是默认按钮() const override { return 设置_.默认按钮; }
  void 单击() override { click(); }

 private:
  按钮设置 设置_;
};

class 标签实现 final : public QLabel, public 标签 {
 public:
  explicit 标签实现(const 标签设置& 设置) : 设置_(设置) {
    setText(转界面文本(设置_.标题));
    setTextFormat(Qt::PlainText);
    setFont(取字体(设置_.字体));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWordWrap(false);
    // Explicit roles: otherwise the label would take the window's button-face
    // role and with it the button text colour.
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(text());
  }

  QWidget& 部件() override { return *this; }
  void 套用颜色() override {
    const QPalette 系统 = QApplication::palette();
    QPalette 调色板 = 系统;
    调色板.setColor(QPalette::WindowText, 取颜色(设置_.文本色, 系统));
    调色板.setColor(QPalette::Window, 取颜色(设置_.背景色, 系统));
    setPalette(调色板);
  }

 protected:
  // A new style sheet re-polishes the label and with it resets its palette.
  void changeEvent(QEvent* 事件) override {
    QLabel::changeEvent(事件);
    if (事件->type() == QEvent::StyleChange) 套用颜色();
  }

 private:
  标签设置 设置_;
};

}  // namespace

QString 提示文本(std::string_view 提示, const QFont& 提示字体) {
  QString 文本 = 转界面文本(提示);
  if (QFontMetrics(提示字体).horizontalAdvance(文本) <= kTooltipMaxWidth) return 文本;
  return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
      .arg(kTooltipMaxWidth)
      .arg(文本.toHtmlEscaped());
}

超级按钮& 创建超级按钮(const 超级按钮设置& 设置) { return *new 超级按钮实现(设置); }
按钮& 创建按钮(const 按钮设置& 设置) { return *new 按钮实现(设置); }
标签& 创建标签(const 标签设置& 设置) { return *new 标签实现(设置); }

}  // namespace platform
