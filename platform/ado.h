// The data-access layer: a connection and a record set in the manner of ADO
// with the Jet provider, backed by SQLite.
//
// It offers exactly what the location database components use. Texts cross
// this layer as UTF-16. No error escapes: every call that can fail returns a
// Status whose description is a Chinese sentence naming the cause.
//
// The provider reads its database file whole when the connection opens and
// answers from that copy, read-only: the program never writes the file, and
// nothing done to the file afterwards (replaced, deleted, cut short or
// rewritten in place) changes an answer. It admits a connection only with
// the database password whose verifier the file stores.
//
// Lifetimes: a client-side result is read whole at Open and keeps nothing of
// its connection. A server-side result shares ownership of the SQLite handle
// with its connection, so closing or destroying the Connection never leaves it
// dangling: the result goes on reading, and the copy is released when the
// last of them closes. A Connection and its results belong to one thread.
//
// Statements: a client-side statement's single-quoted literals are made
// parameters, and the connection keeps the prepared shape for the next
// statement that differs only in its literals (as a server's simple
// parameterization does). The program runs one such statement per look-up,
// and preparing it costs more than running it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace ado {

// Stand-ins for the COM/OLE layer's initialisation and shut-down. Initialize
// is idempotent and belongs before any other use of the layer: it tunes
// SQLite, which is possible only before SQLite starts (the layer works
// without it, a little slower). Uninitialize is called once, last, at
// program exit, when no connection or result is left.
bool Initialize();
void Uninitialize();

class Status {
 public:
  static Status Ok() { return Status(); }
  static Status Fail(std::u16string description) { return Status(std::move(description)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::u16string& description() const { return description_; }

 private:
  Status() = default;
  explicit Status(std::u16string description)
      : failed_(true), description_(std::move(description)) {}

  bool failed_ = false;
  std::u16string description_;
};

// Value kinds with the type codes of the data-access layer.
enum VarType : std::uint16_t {
  kVtEmpty = 0,
  kVtNull = 1,
  kVtI2 = 2,
  kVtI4 = 3,
  kVtR4 = 4,
  kVtR8 = 5,
  kVtCurrency = 6,
  kVtDate = 7,
  kVtBstr = 8,
  kVtBool = 11,
  kVtDecimal = 14,
  kVtI1 = 16,
  kVtUI1 = 17,
  kVtUI2 = 18,
  kVtUI4 = 19,
  kVtI8 = 20,
  kVtUI8 = 21,
  kVtInt = 22,
  kVtUInt = 23,
  kVtVoid = 24,
  kVtLpStr = 30,
  kVtLpWStr = 31,
  kVtBlob = 65,
  kVtBlobObject = 70,
  kVtArrayUI1 = 0x2011,  // an array (0x2000) of unsigned bytes (17)
};

// One field value. Which member holds it follows from vt:
//   integer: every integer kind and boolean (non-zero is true; the provider
//            gives -1 for true, as Jet does), the 32-bit
//            word of kVtVoid, currency in units of 1/10000;
//   real:    kVtR4 (already rounded to 4-byte precision), kVtR8, kVtDecimal,
//            kVtDate (days since 1899-12-30, the fraction being the time);
//   text:    kVtBstr and kVtLpWStr;  narrow: kVtLpStr;
//   bytes:   kVtBlob, kVtBlobObject, kVtArrayUI1.
struct Variant {
  std::uint16_t vt = kVtEmpty;
  std::int64_t integer = 0;
  double real = 0;
  std::u16string text;
  std::string narrow;
  std::vector<std::uint8_t> bytes;
};

enum CursorLocation : std::int32_t { kUseNone = 1, kUseServer = 2, kUseClient = 3 };
enum CommandOption : std::int32_t { kCmdUnspecified = -1, kCmdText = 1, kCmdTable = 2 };

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the database that the connection text names. Keys are
  // case-insensitive, pairs are separated by semicolons, blanks around keys and
  // values are ignored. "Provider" must be Microsoft.Jet.OLEDB.4.0;
  // "Data Source" is the file (backslashes are path separators; a relative
  // path resolves against the current directory);
  // "Jet OLEDB:Database Password" is the database password.
  // A value may be quoted with " or ' (a doubled quote stands for itself),
  // so that it can hold a semicolon. Unknown keys are ignored; user_id,
  // password (workgroup security, which this provider does not have) and
  // options are accepted and not used. Fails on an open connection.
  Status Open(std::u16string_view connection_string, std::u16string_view user_id,
              std::u16string_view password, std::int32_t options);
  // Closing a closed connection succeeds.
  Status Close();
  bool IsOpen() const { return db_ != nullptr; }

 private:
  friend class Recordset;
  struct StatementCache;
  std::shared_ptr<sqlite3> db_;
  // Destroyed before db_: its statements are finalized first.
  std::unique_ptr<StatementCache> statements_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Client-side (the default): Open reads the whole result into memory.
  // Server-side or none: Open keeps the statement and MoveNext steps it, for
  // results too large to hold. A new location applies from the next Open.
  Status SetCursorLocation(std::int32_t location);
  std::int32_t cursor_location() const { return cursor_location_; }

  // options: kCmdText (source is one read-only statement; kCmdUnspecified
  // means the same) or kCmdTable (source is a table name; all its rows).
  // cursor_type and lock_type are accepted as given; the result is always
  // read-only. Fails on an open record set: close it first.
  Status Open(std::u16string_view source, Connection* active_connection, std::int32_t cursor_type,
              std::int32_t lock_type, std::int32_t options);
  // Closing a closed record set succeeds.
  Status Close();
  bool IsOpen() const { return open_; }

  // True when there is no current row (an empty result is at its end at once).
  bool Eof() const;
  Status MoveNext();

  // The value of the named field (case-insensitive) in the current row.
  Status Collect(std::u16string_view field, Variant* value) const;
  // Only the empty filter (no filter) is supported.
  Status SetFilter(std::u16string_view filter);

 private:
  struct Result;
  std::int32_t cursor_location_ = kUseClient;
  bool open_ = false;
  std::unique_ptr<Result> result_;
};

}  // namespace ado
