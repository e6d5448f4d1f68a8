// A file opened for in-place editing: positioned reads through a read-ahead
// cache, and writes that go straight to the file at the current position.
// Header edits read a few bytes here and there and write a few back; this
// keeps that to a handful of system calls per member, whatever the file size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct EditFile {
  int fd = -1;
  uint64_t pos = 0;
  std::vector<unsigned char> cache;
  uint64_t cache_start = 0;
  size_t cache_len = 0;
};

// Opens for reading and writing; null on failure, with errno set.
EditFile* edit_file_open(const char* path);
void edit_file_close(EditFile* file);
bool edit_file_size(EditFile* file, uint64_t* size);
// Fails only for an offset no file can have, as a seek would.
bool edit_file_seek(EditFile* file, uint64_t offset);
// Reads up to n bytes at the position and advances it; returns the count.
size_t edit_file_read(EditFile* file, void* buffer, size_t n);
// Writes all n bytes at the position; false with errno set on failure.
bool edit_file_write(EditFile* file, const void* buffer, size_t n);

// Owner of an open EditFile: closes it once.
struct EditFileCloser {
  void operator()(EditFile* file) const { edit_file_close(file); }
};
using EditFileOwner = std::unique_ptr<EditFile, EditFileCloser>;
