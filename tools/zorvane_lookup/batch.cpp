#include "tools/zorvane_lookup/batch.h"

#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/program_dir.h"
#include "tools/zorvane_lookup/batch_data.h"
#include "tools/zorvane_lookup/batch_io.h"
#include "tools/zorvane_lookup/batch_lines.h"
#include "tools/zorvane_lookup/batch_records.h"
#include "tools/zorvane_lookup/batch_text.h"

namespace {

using namespace batch;

constexpr char kHelp[] =
    "Usage: zorvane-lookup --batch [OPTION]...\n"
    "\n"
    "Looks up a list of numbers, one per line, and writes one record per\n"
    "non-blank line, in input order, to standard output (always UTF-8). Each\n"
    "line is judged exactly as the Zorvane window judges the same text pasted\n"
    "into its number box, so the two never disagree.\n"
    "\n"
    "Options:\n"
    "  --input FILE     read FILE; repeat for several files, read in turn\n"
    "                   ('-' and the default: standard input)\n"
    "  --encoding ENC   the input's encoding: utf-8 (default) or gbk\n"
    "  --format FMT     tsv (default), csv or jsonl\n"
    "  --normalize      first accept the pasted forms listed below\n"
    "  --summary        at the end, counts per status and per carrier on\n"
    "                   standard error\n"
    "  --quiet          no progress bar (shown only when standard error is a\n"
    "                   terminal, standard output is not, and every input is\n"
    "                   a file of known size)\n"
    "  --db PATH        the database file (default: Source/Mobile_DB.dat\n"
    "                   beside the program)\n"
    "  --help           this text\n"
    "\n"
    "Lines: blank lines (nothing but spaces, tabs, CR, VT, FF) are skipped; a\n"
    "trailing CR is not part of a line; a UTF-8 byte-order mark at the start\n"
    "of an input is skipped.\n"
    "\n"
    "Fields, in this order:\n"
    "  input      the line as given; bytes that are not valid in the input's\n"
    "             encoding are shown as U+FFFD (and, like any character that is\n"
    "             not part of a number, end the number)\n"
    "  status     ok          accepted, and the block is in the database\n"
    "             not_found   accepted, but the block is not in the database\n"
    "             bad_length  rejected with the window's digit-count message\n"
    "             bad_prefix  rejected with the window's first-digit message\n"
    "  block      the number block the window asks the database for, for\n"
    "             rejected lines too (abc: 0000000, -1380013800: -1-2-4-9-1-1-2)\n"
    "  carrier, area, province, city, zip, area_code\n"
    "             the block's data; empty (null in jsonl) unless status is ok\n"
    "\n"
    "Judgement: a line goes into the number box as a paste would, so it is\n"
    "cut to the box's 11 bytes (in GBK, where a full-width character takes\n"
    "two); its numeric prefix is then taken (exponents like 1.38e10 count)\n"
    "and it is accepted when that is an eleven-digit number beginning with 1.\n"
    "So 138001380001 is cut to 13800138000 (ok), +86 13800138000 is cut to\n"
    "+86 1380013 (bad_length), and 23800138000 is bad_prefix.\n"
    "\n"
    "--normalize forms (used only when they leave exactly eleven digits; any\n"
    "other line is judged as it stands):\n"
    "  - blanks (space, tab, no-break space, ideographic space) at either end\n"
    "    are dropped;\n"
    "  - runs of blanks, dashes (- ‐ ‑ ‒ – — − －) and dots (. ．) between\n"
    "    two digits are dropped: 138 0013 8000, 138-0013-8000, 138.0013.8000;\n"
    "  - full-width digits count as digits: １３８００１３８０００;\n"
    "  - a leading +86, 0086 or 86 followed by exactly eleven digits is\n"
    "    dropped: +86 138 0013 8000, 0086-138-0013-8000, 8613800138000.\n"
    "\n"
    "Formats:\n"
    "  tsv    a header line, then fields separated by tabs, lines ended by LF;\n"
    "         a backslash, tab, CR or LF in a field is written \\\\ \\t \\r \\n\n"
    "  csv    RFC 4180: a header line, fields separated by commas, lines ended\n"
    "         by CR LF; a field with a comma, quote, CR or LF is quoted, and\n"
    "         quotes in it are doubled\n"
    "  jsonl  one JSON object per line, keys as the field names\n"
    "\n"
    "Example:\n"
    "  $ printf '13800138000\\n+86 138-0013-8000\\n2380013800\\n' |\n"
    "      zorvane-lookup --batch --normalize\n"
    "  input\tstatus\tblock\tcarrier\tarea\tprovince\tcity\tzip\tarea_code\n"
    "  13800138000\tok\t1380013\t中国移动\t北京\t北京\t北京\t100000\t010\n"
    "  +86 138-0013-8000\tok\t1380013\t中国移动\t北京\t北京\t北京\t100000\t010\n"
    "  2380013800\tbad_length\t0238001\t\t\t\t\t\t\n"
    "\n"
    "Exit status: 0 done (rejected lines are records, not errors), 1 an input,\n"
    "the output or the database could not be read or written, 2 usage error.\n";

struct Options {
  std::vector<std::string> inputs;
  Encoding encoding = Encoding::kUtf8;
  Format format = Format::kTsv;
  bool normalize = false;
  bool quiet = false;
  bool summary = false;
  std::string database;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zorvane-lookup: %s\nTry 'zorvane-lookup --batch --help'.\n",
               message.c_str());
  return 2;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "zorvane-lookup: %s\n", message.c_str());
  return 1;
}

std::string Lower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

// Parses the command line into *options; returns an exit status when the
// run ends here (help or a usage error).
std::optional<int> ParseOptions(int argc, char** argv, Options* options) {
  options->database = ProgramDirectory() + "/Source/Mobile_DB.dat";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--") {
      if (i + 1 < argc) return UsageError("the batch mode takes no numbers; use --input");
      break;
    }
    if (!arg.starts_with("--")) {
      return UsageError("the batch mode takes no numbers (" + std::string(arg) +
                        "); give them one per line through --input or standard input");
    }
    // --name=value or --name value
    std::string_view name = arg;
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = std::string(arg.substr(eq + 1));
    }
    auto take = [&](std::string* out) -> bool {
      if (value) {
        *out = *value;
        return true;
      }
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    const bool takes_value =
        name == "--input" || name == "--encoding" || name == "--format" || name == "--db";
    if (value && !takes_value) return UsageError(std::string(name) + " takes no value");

    std::string text;
    if (takes_value && !take(&text)) return UsageError(std::string(name) + " needs a value");
    if (name == "--batch") {
      // the mode itself
    } else if (name == "--help") {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    } else if (name == "--input") {
      options->inputs.push_back(text);
    } else if (name == "--encoding") {
      const std::string e = Lower(text);
      if (e == "utf-8" || e == "utf8") {
        options->encoding = Encoding::kUtf8;
      } else if (e == "gbk" || e == "cp936") {
        options->encoding = Encoding::kGbk;
      } else {
        return UsageError("unknown encoding " + text + " (utf-8 or gbk)");
      }
    } else if (name == "--format") {
      const std::string f = Lower(text);
      if (f == "tsv") {
        options->format = Format::kTsv;
      } else if (f == "csv") {
        options->format = Format::kCsv;
      } else if (f == "jsonl") {
        options->format = Format::kJsonl;
      } else {
        return UsageError("unknown format " + text + " (tsv, csv or jsonl)");
      }
    } else if (name == "--db") {
      options->database = text;
    } else if (name == "--normalize") {
      options->normalize = true;
    } else if (name == "--quiet") {
      options->quiet = true;
    } else if (name == "--summary") {
      options->summary = true;
    } else {
      return UsageError("unknown option " + std::string(arg));
    }
  }
  if (options->inputs.empty()) options->inputs.emplace_back("-");
  return std::nullopt;
}

// Start-up here is dominated by first touches of fresh memory pages (about
// 10 µs each), and the data-access layer hands the lookup image (1.5 MB)
// over in two copies. So large blocks stay on the heap, where a freed block is
// reused rather than returned and touched afresh, and the heap gets room up
// front that the system may back with huge pages (one fault per 2 MB). A
// block that is never touched fills the heap up to the first huge page, so
// that the copies land there. Nothing depends on this but speed.
void PrepareHeap() {
  constexpr std::size_t kRoom = 24 << 20;
  constexpr std::uintptr_t kHuge = 2 << 20;
  constexpr std::uintptr_t kChunkHeader = 16;  // glibc: a block's size words before it
  (void)mallopt(M_MMAP_THRESHOLD, 32 << 20);
  (void)mallopt(M_TRIM_THRESHOLD, 64 << 20);
  void* volatile room = std::malloc(kRoom);  // volatile: the pair must not be elided
  const auto start = reinterpret_cast<std::uintptr_t>(room);
  std::free(room);  // the heap keeps the room, untouched
  if (start == 0) return;
  std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  if (begin - start < 4 * kChunkHeader) begin += kHuge;
  const std::uintptr_t end = (start + kRoom) & ~(kHuge - 1);
  if (end <= begin || ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) != 0) {
    return;
  }
  // Its size with header is begin - start, so the next block starts at begin.
  static void* const spacer = std::malloc(begin - start - kChunkHeader / 2);
  (void)spacer;
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The progress bar on standard error. It is asked after every piece of
// input (a few megabytes), and redraws at most five times a second.
class Progress {
 public:
  explicit Progress(std::int64_t total_bytes) : total_(total_bytes), start_(Now()) {}

  void Tick(std::uint64_t rows, std::int64_t bytes_done) {
    const double now = Now();
    if (now - last_ < 0.2) return;
    last_ = now;
    const double elapsed = now - start_;
    const double rate = elapsed > 0 ? static_cast<double>(rows) / elapsed : 0;
    const int percent = total_ > 0 ? static_cast<int>(100 * bytes_done / total_) : 100;
    const auto seconds = static_cast<long>(elapsed);
    std::fprintf(stderr, "\r%3d%%  %llu rows  %.1f M rows/s  %ld:%02ld elapsed\x1b[K", percent,
                 static_cast<unsigned long long>(rows), rate / 1e6, seconds / 60, seconds % 60);
    drawn_ = true;
  }

  void Finish() {
    if (drawn_) std::fputs("\r\x1b[K", stderr);
  }

 private:
  std::int64_t total_;
  double start_;
  double last_ = 0;
  bool drawn_ = false;
};

void PrintSummary(const LineProcessor& processor, const lookup_image::LookupImage& image) {
  std::fprintf(stderr, "zorvane-lookup: %llu records\n",
               static_cast<unsigned long long>(processor.records()));
  for (std::size_t s = 0; s < kStatusCount; ++s) {
    const auto status = static_cast<Status>(s);
    std::fprintf(stderr, "  %-12s %12llu\n", std::string(StatusName(status)).c_str(),
                 static_cast<unsigned long long>(processor.count(status)));
  }
  std::map<std::string, std::uint64_t> by_carrier;
  const std::vector<std::uint64_t>& counts = processor.place_counts();
  for (std::size_t p = 1; p < counts.size(); ++p) {
    if (counts[p] == 0) continue;
    by_carrier[SanitizeUtf8(image.Text(static_cast<std::uint16_t>(p), lookup_image::Field::kT))] +=
        counts[p];
  }
  std::vector<std::pair<std::string, std::uint64_t>> carriers(by_carrier.begin(), by_carrier.end());
  std::stable_sort(carriers.begin(), carriers.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  if (!carriers.empty()) std::fputs("  ok records by carrier:\n", stderr);
  for (const auto& [carrier, count] : carriers) {
    std::fprintf(stderr, "    %12llu  %s\n", static_cast<unsigned long long>(count),
                 carrier.c_str());
  }
}

}  // namespace

bool IsBatchCommand(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (std::strcmp(argv[i], "--batch") == 0) return true;
  }
  return false;
}

// A mapped input file that another program cuts short while it is read
// faults on the pages that are gone. End with one line, as for any read
// error; the output written so far holds whole records only.
extern "C" void OnInputCutShort(int) {
  static constexpr char kMessage[] =
      "zorvane-lookup: an input file was cut short while it was read\n";
  if (::write(STDERR_FILENO, kMessage, sizeof kMessage - 1) < 0) {
    // Nothing more can be said.
  }
  ::_exit(1);
}

int RunBatch(int argc, char** argv) {
  Options options;
  if (std::optional<int> done = ParseOptions(argc, argv, &options)) return *done;
  PrepareHeap();

  // A closed output pipe, or a file grown to its size limit, is an error to
  // report (and the output left with whole records), not a signal to die of.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGBUS, OnInputCutShort);

  std::vector<std::unique_ptr<Input>> inputs;
  std::int64_t total_bytes = 0;
  for (const std::string& name : options.inputs) {
    std::string error;
    std::unique_ptr<Input> input = Input::Open(name, &error);
    if (!input) return Failure(error);
    total_bytes = input->size() < 0 || total_bytes < 0 ? -1 : total_bytes + input->size();
    inputs.push_back(std::move(input));
  }

  LookupData data;
  std::string notice;
  std::string error;
  const bool loaded = data.Load(options.database, &notice, &error);
  if (!notice.empty()) std::fprintf(stderr, "zorvane-lookup: %s\n", notice.c_str());
  if (!loaded) return Failure(error);

  const RecordFormat format(options.format, data.image());
  Output out(STDOUT_FILENO);
  LineProcessor processor(data.image(), format,
                          LineOptions{.encoding = options.encoding, .normalize = options.normalize},
                          &out);
  std::optional<Progress> progress;
  // Records on the same terminal would be torn apart by the redrawn bar.
  if (!options.quiet && total_bytes >= 0 && ::isatty(STDERR_FILENO) && !::isatty(STDOUT_FILENO)) {
    progress.emplace(total_bytes);
  }

  auto write_failed = [&] {
    if (progress) progress->Finish();
    return Failure("cannot write the output: " + out.error());
  };
  if (!out.Append(format.header())) return write_failed();
  std::int64_t bytes_done = 0;
  for (const std::unique_ptr<Input>& input : inputs) {
    std::string_view piece;
    bool first = true;
    while (input->Next(&piece)) {
      if (first && options.encoding == Encoding::kUtf8 && piece.starts_with("\xEF\xBB\xBF")) {
        piece.remove_prefix(3);
      }
      first = false;
      if (!processor.Process(piece)) return write_failed();
      if (progress) progress->Tick(processor.records(), bytes_done + input->consumed());
    }
    if (!input->error().empty()) {
      if (progress) progress->Finish();
      // The records before the failure are whole; keep them.
      const bool flushed = out.Flush();
      Failure("cannot read " + input->name() + ": " + input->error());
      if (!flushed) Failure("cannot write the output: " + out.error());
      return 1;
    }
    bytes_done += input->consumed();
  }
  if (!out.Flush()) return write_failed();
  if (progress) progress->Finish();
  if (options.summary) PrintSummary(processor, data.image());
  return 0;
}
