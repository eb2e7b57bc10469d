// The skin library: applies a skin file, a Qt style sheet, to the running
// application. Built as Source/SkinH_EL.dll beside the program.
//
// Nothing the application keeps may point into this library once it is
// unloaded at exit: the style sheet is handed over as heap text, and no
// string literal of Qt's own kind is used here.
#include <QApplication>
#include <QFile>
#include <QString>

extern "C" __attribute__((visibility("default"))) int SkinH_AttachEx(const char* skin_file,
                                                                     const char* password) {
  // Skins without a password are the only kind this library knows.
  if (skin_file == nullptr || (password != nullptr && password[0] != '\0')) return 0;
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (application == nullptr) return 0;
  QString path = QString::fromLocal8Bit(skin_file);
  path.replace(QChar(u'\\'), QChar(u'/'));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  application->setStyleSheet(QString::fromUtf8(file.readAll()));
  return 1;
}
