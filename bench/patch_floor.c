/* Floor for hdrpatch: the I/O its work needs and no more. It walks an ar
 * archive's member headers, reading only where a header lies: 64 KiB at a
 * time while members are small (one pass over the file), a page where the
 * next header is far. It writes each member's 64-byte ELF header back in
 * place, one write apiece; the bytes written are the bytes read. */
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kBlock = 1 << 16, kPage = 1 << 12, kArHeader = 60, kElfHeader = 64 };

static char block[kBlock];
static off_t block_start = -1;
static ssize_t block_size = 0;

/* The `length` bytes at `offset`, read with the block that holds them. */
static const char* bytes_at(int fd, off_t offset, size_t length) {
  if (block_start < 0 || offset < block_start || offset + (off_t)length > block_start + block_size) {
    const int far = block_start < 0 || offset >= block_start + block_size + kBlock;
    block_start = offset;
    block_size = pread(fd, block, far && offset > 0 ? kPage : kBlock, offset);
    if (block_size < (ssize_t)length) return NULL;
  }
  return block + (offset - block_start);
}

int main(int argc, char** argv) {
  int fd = argc > 1 ? open(argv[1], O_RDWR) : -1;
  if (fd < 0) return 1;
  const char* magic = bytes_at(fd, 0, 8);
  if (!magic || memcmp(magic, "!<arch>\n", 8) != 0) return 1;
  off_t at = 8;
  for (;;) {
    const char* header = bytes_at(fd, at, kArHeader);
    if (!header) break;
    char size_text[11];
    memcpy(size_text, header + 48, 10);
    size_text[10] = '\0';
    const off_t size = strtoll(size_text, NULL, 10);
    const off_t data = at + kArHeader;
    if (size >= kElfHeader) {
      const char* elf = bytes_at(fd, data, kElfHeader);
      if (!elf || pwrite(fd, elf, kElfHeader, data) != kElfHeader) return 1;
    }
    at = data + size + (size & 1);
  }
  return close(fd) == 0 ? 0 : 1;
}
