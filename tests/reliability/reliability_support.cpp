#include "tests/reliability/reliability_support.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/gbk.h"
#include "tests/app/app_test_support.h"
#include "tests/tools/db_fixtures.h"

namespace reliability {
namespace {

std::string BuildDb(std::string_view tsv) {
  zorvane_test::TempDir dir;
  WriteText(dir / "table.tsv", tsv);
  const db_test::RunResult built = db_test::RunDb(
      {"build", "--from", (dir / "table.tsv").string(), "--out", (dir / "m.dat").string()});
  if (built.status != 0) throw std::runtime_error("zorvane-db build: " + built.err);
  return ReadBytes(dir / "m.dat");
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("fixture row not found");
  return text.replace(at, from.size(), to);
}

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

const std::string& GoodDb() {
  static const std::string bytes = BuildDb(db_test::kSmallTsv);
  return bytes;
}

const std::string& OtherDb() {
  static const std::string bytes =
      BuildDb(Replace(std::string(db_test::kSmallTsv), "1380013\t北京\t北京\t100000\t010\t移动",
                      "1380013\t上海\t上海\t200000\t021\t联通"));
  return bytes;
}

const QString kFoundLines = QStringLiteral(
    "您查询的电话号码为：13800138000\r\n"
    "   该号码的供应商为：中国移动\r\n"
    "   该号码的归属地为：北京\r\n");

QString MissingLines(const QString& number) {
  return QStringLiteral("您查询的电话号码为：") + number +
         QStringLiteral(
             "\r\n  该号码的供应商为：数据不存在！\r\n"
             "   该号码的归属地为：数据不存在,请检查输入或更新数据库。\r\n");
}

QString ConnectionUnusableText() {
  return QStringLiteral("连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。");
}

ProgramFolder::ProgramFolder() {
  fs::permissions(path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  fs::create_directory(source());
  const fs::path built = fs::path(ZORVANE_PROGRAM_DIR) / "Source";
  for (const char* name : {"SkinH_EL.dll", "vexa.she"}) {
    fs::copy_file(built / name, source() / name);
    fs::permissions(source() / name, fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::add);
  }
}

ProgramFolder::~ProgramFolder() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(path(), ignored)) {
    if (entry.is_directory(ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
}

WindowSession::WindowSession(const fs::path& program_folder) {
  准备应用程序(program_folder.string());
  window_ = 载入启动窗口();
  if (window_ && !QTest::qWaitForWindowActive(window_)) window_->activateWindow();
}

WindowSession::~WindowSession() {
  if (!cleaned_up_) 退出清理();
}

WindowSession::Lookup WindowSession::LookUp(const QString& text) {
  Lookup lookup;
  if (!window_) return lookup;
  auto& box = static_cast<QLineEdit&>(window_->编辑框手机号->部件());
  box.setFocus();
  window_->置号码框文本(platform::Utf8ToGbk(text.toStdString()));
  zorvane_test::消息框关闭器 closer;
  QTest::keyClick(&box, Qt::Key_Return);
  for (const zorvane_test::消息框记录& shown : closer.记录) lookup.boxes.push_back(shown.文本);
  lookup.result = zorvane_test::界面(window_->编辑框结果->文本());
  return lookup;
}

bool WindowSession::Close() {
  if (window_) {
    QTest::keyClick(&window_->编辑框手机号->部件(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  const bool gone = window_.isNull();
  退出清理();
  cleaned_up_ = true;
  return gone;
}

FileState StateOf(const fs::path& file) {
  FileState state;
  struct stat info {};
  Check(::stat(file.c_str(), &info) == 0, "stat " + file.string());
  state.bytes = ReadBytes(file);
  state.mtime = info.st_mtim;
  state.ctime = info.st_ctim;
  state.folder = db_test::FilesIn(file.parent_path());
  return state;
}

bool operator==(const FileState& a, const FileState& b) {
  return a.bytes == b.bytes && a.mtime.tv_sec == b.mtime.tv_sec &&
         a.mtime.tv_nsec == b.mtime.tv_nsec && a.ctime.tv_sec == b.ctime.tv_sec &&
         a.ctime.tv_nsec == b.ctime.tv_nsec && a.folder == b.folder;
}

std::string Describe(const FileState& state) {
  std::string text = std::to_string(state.bytes.size()) + " bytes, mtime " +
                     std::to_string(state.mtime.tv_sec) + "." +
                     std::to_string(state.mtime.tv_nsec) + ", folder:";
  for (const std::string& name : state.folder) text += " " + name;
  return text;
}

}  // namespace reliability
