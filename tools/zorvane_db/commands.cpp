#include "tools/zorvane_db/commands.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lookup/lookup_command.h"
#include "tools/common/atomic_file.h"
#include "tools/common/location_db.h"
#include "tools/common/lookup_image.h"
#include "tools/common/phone_dat.h"
#include "tools/common/table_io.h"

namespace zdb {
namespace {

constexpr std::string_view kUnversioned = "unversioned";

constexpr std::string_view kMainHelp = R"(Usage: zorvane-db COMMAND [OPTIONS]

Builds and inspects the location database file (Source/Mobile_DB.dat).

Commands:
  build            build a database from a TSV or CSV block table
  import-phonedat  build a database from a phone.dat file
  export           write a database's rows as a TSV or CSV table
  info             show data version, row counts per carrier and per prefix
  diff             compare two databases
  verify           check a database, its lookup image and its password

Every database is written to a temporary file beside the target, checked,
and only then renamed over it; a failed run leaves the old file as it was.
The password of a database is the program's own unless --password is given.

Run 'zorvane-db COMMAND --help' for the options of a command.
Exit status: 0 success, 1 failure, 2 usage error.
)";

struct Command {
  std::string_view name;
  std::string_view help;
  std::vector<std::string_view> positionals;  // names, all required
  std::vector<std::string_view> values;       // options that take a value
  std::vector<std::string_view> flags;        // options without one
  std::vector<std::string_view> required;     // options that must be given
};

struct Args {
  std::vector<std::string> positionals;
  std::map<std::string, std::string, std::less<>> values;
  std::map<std::string, bool, std::less<>> flags;

  std::string Value(std::string_view name, std::string_view fallback = {}) const {
    auto it = values.find(name);
    return it != values.end() ? it->second : std::string(fallback);
  }
  bool Flag(std::string_view name) const { return flags.contains(name); }
};

struct UsageError {
  std::string message;
};

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "text" + string.
std::string Option(std::string_view name, std::string_view before = {}) {
  std::string option(before);
  option += "--";
  option += name;
  return option;
}

// Parses the arguments after the command name; "--name value" and
// "--name=value" are both accepted.
std::optional<UsageError> Parse(const Command& command, std::span<const std::string_view> args,
                                Args* parsed) {
  const auto has = [](const std::vector<std::string_view>& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (!arg.starts_with("--") || arg == "--") {
      parsed->positionals.emplace_back(arg);
      continue;
    }
    std::string_view name = arg.substr(2);
    std::optional<std::string_view> value;
    if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (has(command.flags, name)) {
      if (value) return UsageError{Option(name) + " takes no value"};
      parsed->flags[std::string(name)] = true;
    } else if (has(command.values, name)) {
      if (!value) {
        if (i + 1 >= args.size()) return UsageError{Option(name) + " needs a value"};
        value = args[++i];
      }
      if (parsed->values.contains(name)) {
        return UsageError{Option(name) + " given twice"};
      }
      parsed->values[std::string(name)] = std::string(*value);
    } else {
      return UsageError{Option(name, "unknown option ")};
    }
  }
  for (std::string_view name : command.required) {
    if (!parsed->values.contains(name)) return UsageError{Option(name, "missing ")};
  }
  if (parsed->positionals.size() != command.positionals.size()) {
    std::string expected = "expects the arguments";
    for (std::string_view p : command.positionals) (expected += ' ') += p;
    return UsageError{command.positionals.empty() ? "takes no file arguments" : expected};
  }
  return std::nullopt;
}

// Where a command's diagnostics go, and how its status is formed.
class Reporter {
 public:
  Reporter(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }

  int Fail(std::string_view message) {
    err_ << "zorvane-db: " << message << '\n';
    return kExitFailure;
  }
  // The status after writing a report: a report that could not be written
  // is a failure, never a success.
  int Finish() {
    out_.flush();
    return out_ ? kExitOk : Fail("cannot write to standard output");
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

std::string PasswordOf(const Args& args) { return args.Value("password", kDatabasePassword); }

// The table format from --format, else from the file's name; nothing after
// a usage error has been reported.
std::optional<TableFormat> FormatOf(const Args& args, const std::string& path, std::ostream& err) {
  if (!args.values.contains("format")) return TableFormatOfPath(path);
  std::optional<TableFormat> format = TableFormatByName(args.Value("format"));
  if (!format) err << "zorvane-db: --format must be tsv or csv\n";
  return format;
}

// Refuses an --out that would replace the input it is made from.
std::optional<int> RefuseOverwritingInput(const Args& args, const std::string& input, Reporter& r) {
  if (!SameFile(input, args.Value("out"))) return std::nullopt;
  return r.Fail("--out names the input file " + input);
}

int WriteDatabase(const BlockTable& table, const Args& args, std::string_view default_version,
                  Reporter& r) {
  const std::string out = args.Value("out");
  WriteOptions options{PasswordOf(args), args.Value("data-version", default_version)};
  std::string error;
  if (!WriteLocationDb(table, options, out, &error)) return r.Fail(error);
  r.out() << out << ": " << table.blocks.size() << " rows, " << table.places.size()
          << " places, data version " << options.data_version << '\n';
  return r.Finish();
}

// ---- Commands ----

constexpr std::string_view kBuildHelp = R"(Usage: zorvane-db build --from TABLE --out FILE [OPTIONS]

Builds a location database from a block table: TSV as in data/ or CSV with
the same columns (num, province, city, zip, areacode, carrier), UTF-8, with
its header line. The first bad row is refused with its line number and the
reason (a block that is not seven digits starting with 1, a duplicate block,
an unknown carrier, a wrong number of columns, an empty province or city, a
zip or area code that is not digits, text that is not UTF-8), and then
nothing is written.

Options:
  --from TABLE        the block table to read
  --out FILE          the database to write (replaced only when complete)
  --format tsv|csv    the table's format (default: csv for a .csv file, else tsv)
  --password P        the database password (default: the program's own)
  --data-version V    the data version to record (default: unversioned)
)";

int Build(const Args& args, Reporter& r) {
  const std::string from = args.Value("from");
  const std::optional<TableFormat> format = FormatOf(args, from, r.err());
  if (!format) return kExitUsage;
  if (std::optional<int> refused = RefuseOverwritingInput(args, from, r)) return *refused;
  std::string text, error;
  if (!ReadFile(from, &text, &error)) return r.Fail(error);
  BlockTable table;
  if (!ParseTable(text, *format, &table, &error)) return r.Fail(from + ": " + error);
  return WriteDatabase(table, args, kUnversioned, r);
}

constexpr std::string_view kImportHelp =
    R"(Usage: zorvane-db import-phonedat FILE --out FILE [OPTIONS]

Builds a location database from a phone.dat file: a 4-byte version (four
ASCII digits, year and month), the 4-byte little-endian offset of the index,
records "province|city|zip|areacode" each ended by a zero byte, and 9-byte
index entries (block, record offset, carrier type 1..8). A damaged file is
refused with the reason, and then nothing is written.

Options:
  --out FILE          the database to write (replaced only when complete)
  --password P        the database password (default: the program's own)
  --data-version V    the data version to record (default: the file's
                      version as 20YY-MM)
)";

int ImportPhoneDat(const Args& args, Reporter& r) {
  const std::string& from = args.positionals[0];
  if (std::optional<int> refused = RefuseOverwritingInput(args, from, r)) return *refused;
  std::string bytes, error;
  if (!ReadFile(from, &bytes, &error)) return r.Fail(error);
  PhoneDat dat;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (!ParsePhoneDat({data, bytes.size()}, &dat, &error)) return r.Fail(from + ": " + error);
  return WriteDatabase(dat.table, args, dat.data_version, r);
}

constexpr std::string_view kExportHelp = R"(Usage: zorvane-db export FILE --out TABLE [OPTIONS]

Writes every row of a database as a block table in num order, in the format
that build reads (the output builds the same database again).

Options:
  --out TABLE         the table to write (replaced only when complete)
  --format tsv|csv    the table's format (default: csv for a .csv file, else tsv)
  --password P        the database password (default: the program's own)
)";

int Export(const Args& args, Reporter& r) {
  const std::string& file = args.positionals[0];
  const std::string out = args.Value("out");
  const std::optional<TableFormat> format = FormatOf(args, out, r.err());
  if (!format) return kExitUsage;
  if (SameFile(file, out)) return r.Fail("--out names the database " + file);
  LocationDb db;
  std::string error;
  if (!ReadLocationDb(file, PasswordOf(args), &db, &error)) return r.Fail(error);
  std::unique_ptr<PendingFile> pending = PendingFile::Create(out, &error);
  if (!pending || !pending->Write(FormatTable(db.table, *format), &error) ||
      !pending->Commit(&error)) {
    return r.Fail(error);
  }
  r.out() << out << ": " << db.table.blocks.size() << " rows\n";
  return r.Finish();
}

constexpr std::string_view kInfoHelp = R"(Usage: zorvane-db info FILE [--password P]

Shows a database's data version, row count, lookup image, rows per carrier
and blocks per leading three digits.
)";

std::string ImageState(const LocationDb& db) {
  if (db.image.empty()) return "missing";
  lookup_image::LookupImage image;
  std::string error;
  if (!lookup_image::LookupImage::Open(db.image, &image, &error)) return "damaged (" + error + ")";
  return std::to_string(db.image.size()) + " bytes, blocks " + std::to_string(image.first_block()) +
         ".." + std::to_string(image.first_block() + image.block_count() - 1) + ", checksum ok";
}

int Info(const Args& args, Reporter& r) {
  const std::string& file = args.positionals[0];
  LocationDb db;
  std::string error;
  if (!ReadLocationDb(file, PasswordOf(args), &db, &error)) return r.Fail(error);

  std::array<std::size_t, kCarriers.size()> per_carrier{};
  std::map<std::uint32_t, std::size_t> per_prefix;
  for (const Block& b : db.table.blocks) {
    ++per_carrier[db.table.PlaceOf(b).carrier];
    ++per_prefix[b.num / 10000];
  }
  std::ostream& out = r.out();
  out << "file: " << file << '\n'
      << "data version: " << db.data_version << '\n'
      << "rows: " << db.table.blocks.size() << '\n'
      << "places: " << db.table.places.size() << '\n'
      << "lookup image: " << ImageState(db) << '\n'
      << "rows per carrier:\n";
  for (std::size_t i = 0; i < kCarriers.size(); ++i) {
    if (per_carrier[i] != 0)
      out << "  " << kCarriers[i].full_name << '\t' << per_carrier[i] << '\n';
  }
  out << "blocks per leading three digits:\n";
  for (const auto& [prefix, count] : per_prefix) out << "  " << prefix << '\t' << count << '\n';
  return r.Finish();
}

constexpr std::string_view kDiffHelp = R"(Usage: zorvane-db diff OLD NEW [--table] [--password P]

Compares two databases block by block: blocks added, removed and changed
(with what changed: location, carrier, zip or area code). With --table,
prints every difference as a TSV table instead:

  change  num  old_province old_city old_zip old_areacode old_carrier
               new_province new_city new_zip new_areacode new_carrier

where change is added, removed or changed and the absent side is empty.
The password (default: the program's own) must open both files.
)";

void AppendPlace(std::string* line, const Place* p) {
  if (p == nullptr) {
    *line += "\t\t\t\t\t";
    return;
  }
  for (std::string_view s :
       {std::string_view(p->province), std::string_view(p->city), std::string_view(p->zip),
        std::string_view(p->code), kCarriers[p->carrier].short_name}) {
    *line += '\t';
    *line += s;
  }
}

int Diff(const Args& args, Reporter& r) {
  const std::string& old_file = args.positionals[0];
  const std::string& new_file = args.positionals[1];
  LocationDb before, after;
  std::string error;
  if (!ReadLocationDb(old_file, PasswordOf(args), &before, &error) ||
      !ReadLocationDb(new_file, PasswordOf(args), &after, &error)) {
    return r.Fail(error);
  }
  const bool table = args.Flag("table");
  std::ostream& out = r.out();
  if (table) {
    out << "change\tnum\told_province\told_city\told_zip\told_areacode\told_carrier"
           "\tnew_province\tnew_city\tnew_zip\tnew_areacode\tnew_carrier\n";
  }
  std::size_t added = 0, removed = 0, changed = 0, location = 0, carrier = 0, codes = 0;
  const auto emit = [&](std::string_view change, std::uint32_t num, const Place* a,
                        const Place* b) {
    if (!table) return;
    std::string line = std::string(change) + '\t' + std::to_string(num);
    AppendPlace(&line, a);
    AppendPlace(&line, b);
    out << line << '\n';
  };
  const auto& x = before.table.blocks;
  const auto& y = after.table.blocks;
  std::size_t i = 0, j = 0;
  while (i < x.size() || j < y.size()) {
    if (j == y.size() || (i < x.size() && x[i].num < y[j].num)) {
      ++removed;
      emit("removed", x[i].num, &before.table.PlaceOf(x[i]), nullptr);
      ++i;
    } else if (i == x.size() || y[j].num < x[i].num) {
      ++added;
      emit("added", y[j].num, nullptr, &after.table.PlaceOf(y[j]));
      ++j;
    } else {
      const Place& a = before.table.PlaceOf(x[i]);
      const Place& b = after.table.PlaceOf(y[j]);
      if (!(a == b)) {
        ++changed;
        location += a.province != b.province || a.city != b.city;
        carrier += a.carrier != b.carrier;
        codes += a.zip != b.zip || a.code != b.code;
        emit("changed", x[i].num, &a, &b);
      }
      ++i, ++j;
    }
  }
  if (!table) {
    out << "old: " << old_file << " (data version " << before.data_version << ", " << x.size()
        << " rows)\n"
        << "new: " << new_file << " (data version " << after.data_version << ", " << y.size()
        << " rows)\n"
        << "added: " << added << '\n'
        << "removed: " << removed << '\n'
        << "changed: " << changed << " (location " << location << ", carrier " << carrier
        << ", zip or area code " << codes << ")\n";
  }
  return r.Finish();
}

constexpr std::string_view kVerifyHelp = R"(Usage: zorvane-db verify FILE [--password P]

Checks a database: SQLite's integrity check, its format and password, the
row count in its metadata, every place's area and carrier name, that the
program's statement is an index look-up, the lookup image (checksum, and
every block against the table), and an open and look-ups through the
program's own data-access layer. Prints one line; exit status 1 on the
first problem found.
)";

int Verify(const Args& args, Reporter& r) {
  Verified verified;
  std::string error;
  if (!VerifyLocationDb(args.positionals[0], PasswordOf(args), &verified, &error)) {
    return r.Fail(error);
  }
  r.out() << verified.summary << '\n';
  return r.Finish();
}

struct Entry {
  Command command;
  int (*run)(const Args&, Reporter&);
};

const std::vector<Entry>& Commands() {
  static const std::vector<Entry> commands = {
      {{"build",
        kBuildHelp,
        {},
        {"from", "out", "format", "password", "data-version"},
        {},
        {"from", "out"}},
       Build},
      {{"import-phonedat", kImportHelp, {"FILE"}, {"out", "password", "data-version"}, {}, {"out"}},
       ImportPhoneDat},
      {{"export", kExportHelp, {"FILE"}, {"out", "format", "password"}, {}, {"out"}}, Export},
      {{"info", kInfoHelp, {"FILE"}, {"password"}, {}, {}}, Info},
      {{"diff", kDiffHelp, {"OLD", "NEW"}, {"password"}, {"table"}, {}}, Diff},
      {{"verify", kVerifyHelp, {"FILE"}, {"password"}, {}, {}}, Verify},
  };
  return commands;
}

}  // namespace

int RunZorvaneDb(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kMainHelp;
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    out << kMainHelp;
    return kExitOk;
  }
  for (const Entry& entry : Commands()) {
    const Command& command = entry.command;
    if (args[0] != command.name) continue;
    const std::span<const std::string_view> rest = args.subspan(1);
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
        std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
      out << command.help;
      return kExitOk;
    }
    Args parsed;
    if (std::optional<UsageError> usage = Parse(command, rest, &parsed)) {
      err << "zorvane-db " << command.name << ": " << usage->message << " (see zorvane-db "
          << command.name << " --help)\n";
      return kExitUsage;
    }
    Reporter reporter(out, err);
    return entry.run(parsed, reporter);
  }
  err << "zorvane-db: unknown command " << args[0] << " (see zorvane-db --help)\n";
  return kExitUsage;
}

}  // namespace zdb
