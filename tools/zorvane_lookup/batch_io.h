// Input and output of the batch lookup, built for millions of short lines.
//
// System calls and first touches of fresh memory pages cost more here than
// the lookups, so a regular input file is mapped rather than read into new
// memory, and the output goes through one reused buffer that is written with
// a plain write() whenever it fills.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/zorvane_lookup/batch_records.h"

namespace batch {

// The output buffer. It holds whole records only and writes them with
// write(); a record is never split between two writes of its own making.
// After a failed write, whatever part of the failed write reached a regular
// file is cut off again, so the file ends with a whole record.
class Output {
 public:
  // Each write() to a file costs some microseconds of its own: at 1 MiB
  // they are a few percent of the run, at 256 KiB ten.
  static constexpr std::size_t kDefaultCapacity = 1 << 20;

  explicit Output(int fd, std::size_t capacity = kDefaultCapacity);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Room for one record of at most n bytes, plus kSlack bytes of scratch
  // after it; null once a write has failed.
  char* Reserve(std::size_t n) {
    if (capacity_ - used_ >= n + kSlack) return buffer_.get() + used_;
    return ReserveSlow(n);
  }
  // The record written at the place Reserve gave is complete up to end.
  void Commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

  bool Append(std::string_view text);
  // Writes every buffered record. False on a write error.
  bool Flush();

  bool failed() const { return !error_.empty(); }
  // Why the output failed, e.g. "No space left on device".
  const std::string& error() const { return error_; }

 private:
  char* ReserveSlow(std::size_t n);

  int fd_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  std::string error_;
};

// One input: a file, or standard input for "-". A regular file (standard
// input too, when it is one) is mapped and handed out in pieces of a few
// megabytes that are unmapped again once used; anything else is read through
// one buffer.
class Input {
 public:
  // The file is opened at once; on failure returns null with a one-line
  // reason in *error.
  static std::unique_ptr<Input> Open(const std::string& name, std::string* error);
  virtual ~Input() = default;

  // The name for messages: the file name, or "standard input".
  const std::string& name() const { return name_; }
  // The bytes still to come when known in advance (a regular file), else -1.
  std::int64_t size() const { return size_; }
  // Bytes handed out so far.
  std::int64_t consumed() const { return consumed_; }

  // The next piece of whole lines; only the input's last line can come
  // without its newline. A piece stays valid until the next call. False at
  // the end, and on a read error (then error() says why).
  virtual bool Next(std::string_view* piece) = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string name_;
  std::int64_t size_ = -1;
  std::int64_t consumed_ = 0;
  std::string error_;
};

}  // namespace batch
