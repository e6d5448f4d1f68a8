// Reading a ".mq" module file into a PackageRecord.
#pragma once
#include <sys/types.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "query/query.h"

// Module files are a few kilobytes; anything near this size is not one, and
// refusing it keeps a stray huge file from exhausting memory.
inline constexpr off_t kMaxModuleFileSize = off_t{64} << 20;

// How reading a text file that must be regular and bounded went. `error` is
// the system's error number for a failed open or read, EISDIR for a
// directory (another kind of file has none), EFBIG for a file too large.
struct FileRead {
  enum Outcome { kRead, kOpenFailed, kNotRegular, kTooLarge, kReadFailed } outcome;
  int error = 0;
};

// Reads the whole regular file `path`, of at most `max_size` bytes (also
// while it grows), into `buffer` (grown as needed, never shrunk); `*size`
// is the text's length. Opened without blocking, so a FIFO never hangs.
FileRead read_regular_file(const char* path, off_t max_size, std::string* buffer, size_t* size);
// The same for a regular file already open, whose status gave
// `expected_size` (-1: not known); `fd` is then closed (see close_later).
FileRead read_open_file(int fd, off_t expected_size, off_t max_size, std::string* buffer,
                        size_t* size);

// Reads module files into records through one buffer it owns: a query that
// reads hundreds of files reuses the memory of the first. The text is
// parsed from the buffer and copied into the record, which keeps no view.
class ModuleFileReader {
 public:
  // Returns nothing when the file cannot be opened or read, is not a regular
  // file, or is larger than kMaxModuleFileSize. `skip_flags` leaves the
  // Libs, Libs.private and Cflags lines unread, for a run that never prints
  // flags nor reports anything about them.
  PackageRecord* read(const std::string& key, const char* path, bool skip_requires,
                      bool skip_libs_private, bool skip_requires_private, bool skip_flags = false);
  // The same for a regular file already open as `fd`, which it closes;
  // `path` names it in messages and gives mqfiledir.
  PackageRecord* read_open(int fd, const std::string& key, const char* path, bool skip_requires,
                           bool skip_libs_private, bool skip_requires_private, bool skip_flags);

 private:
  PackageRecord* parse_read(const FileRead& file, const std::string& key, const char* path,
                            size_t size, bool skip_requires, bool skip_libs_private,
                            bool skip_requires_private, bool skip_flags);
  std::string buffer_;
};

// Parses module text already in memory; path is used for messages and mqfiledir.
PackageRecord* parse_module_text(const std::string& key, const char* path, std::string_view bytes,
                                 bool skip_requires, bool skip_libs_private,
                                 bool skip_requires_private, bool skip_flags = false);

// Splits a text into logical lines as the module file format defines them.
class LogicalLineReader {
 public:
  explicit LogicalLineReader(std::string_view bytes)
      : bytes_(bytes),
        plain_(memchr(bytes.data(), '#', bytes.size()) == nullptr &&
               memchr(bytes.data(), '\\', bytes.size()) == nullptr) {}
  // The next logical line, or false at the end of the text.
  bool next(std::string* line);
  // The same as a view: into the text when the line is plain (no comment,
  // no backslash), else into `scratch`, which then holds the line.
  bool next(std::string_view* line, std::string* scratch) {
    if (!plain_) return next_unplain(line, scratch);
    // Every line of a plain text ends at a line feed (or the text's end).
    const size_t n = bytes_.size();
    if (pos_ == n) return false;
    const char* start = bytes_.data() + pos_;
    const void* lf = memchr(start, '\n', n - pos_);
    const size_t run = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : n - pos_;
    *line = std::string_view(start, run);
    pos_ += run;
    if (pos_ < n) {
      ++pos_;  // the line feed
      if (pos_ < n && bytes_[pos_] == '\r') ++pos_;
    }
    return true;
  }

 private:
  bool next_unplain(std::string_view* line, std::string* scratch);

  std::string_view bytes_;
  // No comment and no backslash anywhere: every line ends at a line feed.
  bool plain_;
  size_t pos_ = 0;
};
