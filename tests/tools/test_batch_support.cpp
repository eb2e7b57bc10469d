#include "tests/tools/test_batch_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "lookup/lookup_command.h"
#include "tests/support/fixture_db.h"
#include "tools/common/location_db.h"
#include "tools/common/table_io.h"

namespace batch_test {

void WriteFixtureDb(const std::filesystem::path& file, std::string_view tsv) {
  zdb::BlockTable table;
  std::string error;
  if (!zdb::ParseTable(tsv, zdb::TableFormat::kTsv, &table, &error) ||
      !zdb::WriteLocationDb(table, {.password = kDatabasePassword, .data_version = "test"}, file,
                            &error)) {
    throw std::runtime_error("fixture database: " + error);
  }
}

void WriteText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

std::vector<std::string> Lines(std::string_view text, std::string_view end) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t at = text.find(end);
    lines.emplace_back(text.substr(0, at));
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + end.size());
  }
  return lines;
}

std::vector<std::string> Fields(std::string_view record, char separator) {
  std::vector<std::string> fields;
  for (;;) {
    const std::size_t at = record.find(separator);
    fields.emplace_back(record.substr(0, at));
    if (at == std::string_view::npos) return fields;
    record.remove_prefix(at + 1);
  }
}

std::unique_ptr<MemoryImage> MakeImage(const std::vector<lookup_image::PlaceTexts>& places,
                                       const std::vector<lookup_image::BlockPlace>& blocks) {
  auto made = std::make_unique<MemoryImage>();
  std::string error;
  if (!lookup_image::Build(places, blocks, "test", &made->bytes, &error) ||
      !lookup_image::LookupImage::Open(made->bytes, &made->image, &error)) {
    throw std::runtime_error("image: " + error);
  }
  return made;
}

std::string ProcessLines(const lookup_image::LookupImage& image, batch::Format format,
                         const batch::LineOptions& options, std::string_view input,
                         std::size_t output_capacity) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) throw std::runtime_error("tmpfile failed");
  {
    const batch::RecordFormat records(format, image);
    batch::Output out(fileno(file), output_capacity);
    batch::LineProcessor processor(image, records, options, &out);
    if (!out.Append(records.header()) || !processor.Process(input) || !out.Flush()) {
      std::fclose(file);
      throw std::runtime_error("output failed");
    }
  }
  std::string text;
  std::rewind(file);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

Run RunLookup(const std::vector<std::string>& args, const RunOptions& options) {
  zorvane_test::TempDir dir;
  WriteText(dir / "stdin", options.stdin_text);
  const std::string program = std::string(ZORVANE_PROGRAM_DIR) + "/zorvane-lookup";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = open((dir / "stdin").c_str(), O_RDONLY);
    const int out = options.stdout_fd >= 0
                        ? options.stdout_fd
                        : open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(127);
    }
    if (options.file_size_limit != 0) {
      const rlimit limit{options.file_size_limit, options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  Run run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (options.stdout_fd < 0) run.out = ReadBytes(dir / "stdout");
  run.err = ReadBytes(dir / "stderr");
  return run;
}

}  // namespace batch_test
