#include "hdrpatch/edit_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kSequentialRead = 64 * 1024;  // reading on through a file
constexpr size_t kJumpRead = 4 * 1024;         // a header far from the last one

bool fill_cache(EditFile* file, uint64_t offset) {
  const uint64_t cache_end = file->cache_start + file->cache_len;
  const bool sequential = offset >= cache_end && offset - cache_end < kSequentialRead;
  const size_t want = sequential ? kSequentialRead : kJumpRead;
  if (file->cache.size() < want) file->cache.resize(want);
  ssize_t got;
  do {
    got = pread(file->fd, file->cache.data(), want, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  file->cache_start = offset;
  file->cache_len = got > 0 ? static_cast<size_t>(got) : 0;
  return file->cache_len > 0;
}

}  // namespace

EditFile* edit_file_open(const char* path) {
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* file = new EditFile;
  file->fd = fd;
  return file;
}

void edit_file_close(EditFile* file) {
  if (file == nullptr) return;
  close(file->fd);
  delete file;
}

bool edit_file_size(EditFile* file, uint64_t* size) {
  struct stat st;
  if (fstat(file->fd, &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool edit_file_seek(EditFile* file, uint64_t offset) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    errno = EINVAL;
    return false;
  }
  file->pos = offset;
  return true;
}

size_t edit_file_read(EditFile* file, void* buffer, size_t n) {
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    const uint64_t at = file->pos;
    if (at < file->cache_start || at >= file->cache_start + file->cache_len) {
      if (!fill_cache(file, at)) break;
    }
    const size_t offset = static_cast<size_t>(at - file->cache_start);
    const size_t take = std::min(n - done, file->cache_len - offset);
    memcpy(out + done, file->cache.data() + offset, take);
    done += take;
    file->pos += take;
  }
  return done;
}

bool edit_file_write(EditFile* file, const void* buffer, size_t n) {
  const auto* in = static_cast<const unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    const ssize_t put = pwrite(file->fd, in + done, n - done, static_cast<off_t>(file->pos + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  // Keep cached bytes the same as the file's.
  const uint64_t begin = std::max(file->pos, file->cache_start);
  const uint64_t end = std::min(file->pos + n, file->cache_start + file->cache_len);
  if (begin < end)
    memcpy(file->cache.data() + (begin - file->cache_start), in + (begin - file->pos), end - begin);
  file->pos += n;
  return true;
}
