// The floor for the window program's start-up: the smallest Qt Widgets window,
// built the same way, shown the same way.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("minimal"));
  window.setFixedSize(287, 124);
  window.show();
  return QApplication::exec();
}
