#include "tools/zorvane_lookup/batch_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace batch {

// ---- Output ----

Output::Output(int fd, std::size_t capacity)
    : fd_(fd), buffer_(new char[capacity]), capacity_(capacity) {}

char* Output::ReserveSlow(std::size_t n) {
  if (!Flush()) return nullptr;
  if (capacity_ < n + kSlack) {
    // One record larger than the whole buffer (a very long input line).
    capacity_ = n + kSlack;
    buffer_.reset(new char[capacity_]);
  }
  return buffer_.get();
}

bool Output::Append(std::string_view text) {
  char* out = Reserve(text.size());
  if (out == nullptr) return false;
  std::memcpy(out, text.data(), text.size());
  Commit(out + text.size());
  return true;
}

bool Output::Flush() {
  if (failed()) return false;
  const char* data = buffer_.get();
  std::size_t left = used_;
  while (left > 0) {
    const ssize_t n = ::write(fd_, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "nothing could be written";
      // Cut off what this flush wrote, so a regular file ends with a whole
      // record; a pipe or terminal cannot be taken back (nor, when closed,
      // read any more).
      const auto written = static_cast<off_t>(used_ - left);
      if (written > 0) {
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        if (at >= written && ::ftruncate(fd_, at - written) == 0) {
          (void)::lseek(fd_, at - written, SEEK_SET);
        }
      }
      used_ = 0;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  used_ = 0;
  return true;
}

// ---- Input ----

namespace {

std::string Reason(int error) { return std::strerror(error); }

// A regular file, mapped whole and handed out piece by piece.
class MappedInput : public Input {
 public:
  static constexpr std::size_t kPiece = 4 << 20;

  MappedInput(std::string name, const char* map, std::size_t map_size, std::size_t start)
      : map_(map), map_size_(map_size), pos_(start) {
    name_ = std::move(name);
    size_ = static_cast<std::int64_t>(map_size - start);
    (void)::madvise(const_cast<char*>(map_), map_size_, MADV_SEQUENTIAL);
  }
  ~MappedInput() override { ::munmap(const_cast<char*>(map_), map_size_); }

  bool Next(std::string_view* piece) override {
    // The pieces before this one are done with: give their pages back, so
    // that memory stays small however large the file is.
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t done = pos_ / page * page;
    if (done > released_) {
      (void)::madvise(const_cast<char*>(map_) + released_, done - released_, MADV_DONTNEED);
      released_ = done;
    }
    if (pos_ >= map_size_) return false;

    std::size_t end = std::min(map_size_, pos_ + kPiece);
    if (end < map_size_) {
      // End the piece after its last newline; a line longer than a piece
      // makes the piece longer.
      const void* nl = ::memrchr(map_ + pos_, '\n', end - pos_);
      if (nl == nullptr) nl = std::memchr(map_ + end, '\n', map_size_ - end);
      end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - map_) + 1 : map_size_;
    }
    // One call maps the whole piece, instead of a page fault every few pages.
    const std::size_t first = pos_ / page * page;
    (void)::madvise(const_cast<char*>(map_) + first, end - first, MADV_POPULATE_READ);
    *piece = std::string_view(map_ + pos_, end - pos_);
    consumed_ += static_cast<std::int64_t>(end - pos_);
    pos_ = end;
    return true;
  }

 private:
  const char* map_;
  std::size_t map_size_;
  std::size_t pos_;
  std::size_t released_ = 0;
};

// A pipe, terminal or other stream, read through one buffer.
class StreamInput : public Input {
 public:
  static constexpr std::size_t kBuffer = std::size_t{256} * 1024;

  StreamInput(std::string name, int fd, bool owned, std::int64_t size)
      : fd_(fd), owned_(owned), buffer_(new char[kBuffer]), capacity_(kBuffer) {
    name_ = std::move(name);
    size_ = size;
  }
  ~StreamInput() override {
    if (owned_) ::close(fd_);
  }

  bool Next(std::string_view* piece) override {
    // What followed the last newline of the previous piece moves to the front.
    // It holds no newline.
    std::memmove(buffer_.get(), buffer_.get() + start_, filled_ - start_);
    filled_ -= start_;
    start_ = 0;
    std::size_t scanned = filled_;  // bytes known to hold no newline
    for (;;) {
      if (!eof_ && filled_ == capacity_) Grow();
      if (const void* nl = ::memrchr(buffer_.get() + scanned, '\n', filled_ - scanned)) {
        return Hand(static_cast<std::size_t>(static_cast<const char*>(nl) - buffer_.get()) + 1,
                    piece);
      }
      scanned = filled_;
      if (eof_) return filled_ > 0 && Hand(filled_, piece);
      const ssize_t n = ::read(fd_, buffer_.get() + filled_, capacity_ - filled_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error_ = Reason(errno);
        return false;
      }
      if (n == 0) eof_ = true;
      filled_ += static_cast<std::size_t>(n);
    }
  }

 private:
  bool Hand(std::size_t end, std::string_view* piece) {
    *piece = std::string_view(buffer_.get(), end);
    consumed_ += static_cast<std::int64_t>(end);
    start_ = end;
    return true;
  }

  void Grow() {
    std::unique_ptr<char[]> bigger(new char[capacity_ * 2]);
    std::memcpy(bigger.get(), buffer_.get(), filled_);
    buffer_ = std::move(bigger);
    capacity_ *= 2;
  }

  int fd_;
  bool owned_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t start_ = 0;   // where the bytes not yet handed out begin
  std::size_t filled_ = 0;  // bytes in the buffer
  bool eof_ = false;
};

}  // namespace

std::unique_ptr<Input> Input::Open(const std::string& name, std::string* error) {
  const bool standard = name == "-";
  const std::string shown = standard ? "standard input" : name;
  int fd = STDIN_FILENO;
  if (!standard) {
    do {
      fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      *error = "cannot read " + shown + ": " + Reason(errno);
      return nullptr;
    }
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *error = "cannot read " + shown + ": " + Reason(errno);
    if (!standard) ::close(fd);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = "cannot read " + shown + ": " + Reason(EISDIR);
    if (!standard) ::close(fd);
    return nullptr;
  }
  std::int64_t known_size = -1;
  if (S_ISREG(st.st_mode)) {
    // Standard input may have been read from already: start where it stands.
    const off_t start = standard ? ::lseek(fd, 0, SEEK_CUR) : 0;
    const auto size = static_cast<std::size_t>(st.st_size);
    if (start >= 0 && static_cast<std::size_t>(start) <= size) {
      known_size = static_cast<std::int64_t>(size) - start;
      const void* map =
          size > 0 ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
      if (map != MAP_FAILED) {
        if (!standard) ::close(fd);
        return std::make_unique<MappedInput>(shown, static_cast<const char*>(map), size,
                                             static_cast<std::size_t>(start));
      }
    }
  }
  return std::make_unique<StreamInput>(shown, fd, !standard, known_size);
}

}  // namespace batch
