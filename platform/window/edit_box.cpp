#include "platform/window/edit_box.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "platform/gbk.h"

namespace platform {
namespace {

// The system's edge (SM_CYEDGE): the sunken border is two of them thick.
constexpr int kEdge = 2;

// Of the typed characters with a code of 32 or more only "-" and the digits
// pass; control characters go on to the box.
QString 整数文本过滤(const QString& 文本) {
  QString 结果;
  for (const QChar 字 : 文本) {
    const char16_t 码 = 字.unicode();
    if (码 < 32 || 码 == u'-' || (码 >= u'0' && 码 <= u'9')) 结果.append(字);
  }
  return 结果;
}

bool 全为可打印(const QString& 文本) {
  for (const QChar 字 : 文本) {
    if (字.unicode() < 32) return false;
  }
  return true;
}

// A key that would type its text: Qt does not insert text typed with Ctrl or
// Ctrl+Shift (AltGr, Ctrl+Alt, still types).
bool 输入字符(const QKeyEvent& 事件) {
  const Qt::KeyboardModifiers 修饰 = 事件.modifiers() & ~Qt::KeypadModifier;
  return !事件.text().isEmpty() && 修饰 != Qt::ControlModifier &&
         修饰 != (Qt::ControlModifier | Qt::ShiftModifier);
}

// The box holds GBK text: a character without a GBK form becomes "?".
QString 经过Gbk(const QString& 文本) { return 转界面文本(转程序文本(文本)); }

QPalette 编辑框调色板(const 编辑框设置& 设置) {
  const QPalette 系统 = QApplication::palette();
  QPalette 调色板 = 系统;
  const QColor 文本 = 取颜色(设置.文本色, 系统);
  const QColor 背景 = 取颜色(设置.背景色, 系统);
  调色板.setColor(QPalette::Text, 文本);
  调色板.setColor(QPalette::Base, 背景);
  调色板.setColor(QPalette::Window, 背景);
  // The selection is hidden while the box does not have the focus.
  调色板.setColor(QPalette::Inactive, QPalette::Highlight, 背景);
  调色板.setColor(QPalette::Inactive, QPalette::HighlightedText, 文本);
  return 调色板;
}

class 单行编辑框 final : public QLineEdit, public 编辑框 {
 public:
  explicit 单行编辑框(const 编辑框设置& 设置) : 设置_(设置) {
    setFrame(false);
    if (设置_.凹陷边框) setContentsMargins(kEdge, kEdge, kEdge, kEdge);
    setReadOnly(设置_.只读);
    setAcceptDrops(false);
    setFont(取字体(设置_.字体));
    // Lower than one line of its font plus the edges, it grows to that.
    setMinimumHeight(QFontMetrics(font()).height() + 2 * kEdge);
  }

  QWidget& 部件() override { return *this; }
  const 编辑框设置& 设置() const override { return 设置_; }

  std::string 文本() const override { return 转程序文本(text()); }
  void 置文本(std::string_view 新文本) override {
    setText(转界面文本(新文本));
    setCursorPosition(0);
  }
  void 追加文本(std::string_view 新文本) override {
    end(false);
    insert(转界面文本(新文本));
  }
  void 套用颜色() override { setPalette(编辑框调色板(设置_)); }

 protected:
  void keyPressEvent(QKeyEvent* 事件) override {
    if (事件->matches(QKeySequence::Paste)) {
      粘贴(QClipboard::Clipboard);
      事件->accept();
      return;
    }
    if (!输入字符(*事件) || isReadOnly()) {
      QLineEdit::keyPressEvent(事件);
      return;
    }
    const QString 可输入 = 可容纳(事件->text(), true);
    if (可输入 == 事件->text()) {
      QLineEdit::keyPressEvent(事件);
    } else if (可输入.isEmpty()) {
      事件->accept();  // refused
    } else {
      QKeyEvent 替代(事件->type(), 事件->key(), 事件->modifiers(), 可输入, 事件->isAutoRepeat(),
                     static_cast<quint16>(事件->count()));
      QLineEdit::keyPressEvent(&替代);
      事件->setAccepted(替代.isAccepted());
    }
  }

  // Text from an input method counts as typed.
  void inputMethodEvent(QInputMethodEvent* 事件) override {
    const QString 可提交 = 可容纳(事件->commitString(), true);
    if (可提交 == 事件->commitString()) {
      QLineEdit::inputMethodEvent(事件);
      return;
    }
    QInputMethodEvent 替代(事件->preeditString(), 事件->attributes());
    替代.setCommitString(可提交, 事件->replacementStart(), 事件->replacementLength());
    QLineEdit::inputMethodEvent(&替代);
  }

  void contextMenuEvent(QContextMenuEvent* 事件) override {
    QMenu* 菜单 = createStandardContextMenu();
    if (QAction* 粘贴项 = 菜单->findChild<QAction*>(QStringLiteral("edit-paste"))) {
      粘贴项->disconnect();
      connect(粘贴项, &QAction::triggered, this, [this] { 粘贴(QClipboard::Clipboard); });
    }
    菜单->setAttribute(Qt::WA_DeleteOnClose);
    菜单->popup(事件->globalPos());
  }

  // The X11 selection pastes with a middle click; it obeys the limit too.
  void mouseReleaseEvent(QMouseEvent* 事件) override {
    if (事件->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
      if (!isReadOnly() && rect().contains(事件->position().toPoint())) 粘贴(QClipboard::Selection);
      事件->accept();
      return;
    }
    QLineEdit::mouseReleaseEvent(事件);
  }

  // A new style sheet re-polishes the box and with it resets its palette.
  void changeEvent(QEvent* 事件) override {
    QLineEdit::changeEvent(事件);
    if (事件->type() == QEvent::StyleChange) 套用颜色();
  }

  void paintEvent(QPaintEvent* 事件) override {
    QLineEdit::paintEvent(事件);
    if (!设置_.凹陷边框) return;
    QPainter 画笔(this);
    qDrawWinPanel(&画笔, rect(), QApplication::palette(), true, nullptr);
  }

 private:
  // A pasted text is not filtered, but only its first line is taken and it
  // is cut to what fits.
  void 粘贴(QClipboard::Mode 模式) {
    if (isReadOnly()) return;
    QString 文本 = QGuiApplication::clipboard()->text(模式);
    if (const qsizetype 行尾 = 文本.indexOf(u'\n'); 行尾 >= 0) {
      文本.truncate(行尾);
      if (文本.endsWith(u'\r')) 文本.chop(1);
    }
    文本 = 可容纳(经过Gbk(文本), false);
    if (文本.isEmpty() && !hasSelectedText()) return;
    insert(文本);
  }

  QString 可容纳(const QString& 文本, bool 键入) const {
    QString 结果 = 键入 && 设置_.整数文本输入 ? 整数文本过滤(文本) : 文本;
    if (设置_.最大字节 == 0 || !全为可打印(结果)) return 结果;
    const std::size_t 已用 = Gbk字节数(text()) - Gbk字节数(selectedText());
    const std::size_t 剩余 = 已用 >= 设置_.最大字节 ? 0 : 设置_.最大字节 - 已用;
    return 截取字节容量(结果, 剩余);
  }

  编辑框设置 设置_;
};

class 多行编辑框 final : public QPlainTextEdit, public 编辑框 {
 public:
  explicit 多行编辑框(const 编辑框设置& 设置) : 设置_(设置) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(设置_.凹陷边框 ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    setLineWidth(kEdge);
    setReadOnly(设置_.只读);
    if (设置_.只读) {
      setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      setUndoRedoEnabled(false);
    }
    setAcceptDrops(!设置_.只读);
    setFont(取字体(设置_.字体));
    document()->setDocumentMargin(1);
  }

  QWidget& 部件() override { return *this; }
  const 编辑框设置& 设置() const override { return 设置_; }

  std::string 文本() const override {
    return 转程序文本(toPlainText().replace(u'\n', QStringLiteral("\r\n")));
  }
  void 置文本(std::string_view 新文本) override {
    // A new text shows from its start with the caret there: the view is at
    // the top already, so nothing needs laying out before it is painted.
    setPlainText(界面行(新文本));
  }
  void 追加文本(std::string_view 新文本) override {
    QTextCursor 光标 = textCursor();
    光标.movePosition(QTextCursor::End);
    setTextCursor(光标);
    ensureCursorVisible();
    const bool 可撤销 = isUndoRedoEnabled();
    setUndoRedoEnabled(false);
    光标.insertText(界面行(新文本));
    setUndoRedoEnabled(可撤销);
    setTextCursor(光标);
    ensureCursorVisible();
  }
  void 套用颜色() override { setPalette(编辑框调色板(设置_)); }

  // An editable box of several lines takes Enter for a new line.
  bool 认领按键(std::int32_t 键代码) const override { return !设置_.只读 && 键代码 == 0x0D; }

 protected:
  // A new style sheet re-polishes the box and with it resets its palette.
  void changeEvent(QEvent* 事件) override {
    QPlainTextEdit::changeEvent(事件);
    if (事件->type() == QEvent::StyleChange) 套用颜色();
  }

  // What is copied is the text as the box holds it, lines ended by "\r\n".
  QMimeData* createMimeDataFromSelection() const override {
    QString 选中 = textCursor().selectedText();
    选中.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    选中.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    选中.replace(QChar::Nbsp, u' ');
    auto* 数据 = new QMimeData;
    数据->setText(选中);
    return 数据;
  }

 private:
  static QString 界面行(std::string_view 文本) {
    return 转界面文本(文本).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  }

  编辑框设置 设置_;
};

}  // namespace

std::size_t Gbk字节数(const QString& 文本) { return 转程序文本(文本).size(); }

QString 截取字节容量(const QString& 文本, std::size_t 容量) {
  std::size_t 已用 = 0;
  qsizetype 位置 = 0;
  while (位置 < 文本.size()) {
    const qsizetype 长 = 文本.at(位置).isHighSurrogate() && 位置 + 1 < 文本.size() ? 2 : 1;
    const std::size_t 字节 = Gbk字节数(文本.mid(位置, 长));
    if (已用 + 字节 > 容量) break;
    已用 += 字节;
    位置 += 长;
  }
  return 文本.left(位置);
}

编辑框& 创建编辑框(const 编辑框设置& 设置) {
  if (设置.多行) return *new 多行编辑框(设置);
  return *new 单行编辑框(设置);
}

}  // namespace platform
