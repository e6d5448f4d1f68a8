// mod-query's operator new and delete. A query makes tens of thousands of
// small allocations (strings, table nodes, vector buffers) and frees most of
// them soon; the C library's general allocator spends a quarter of the run
// on them. Here small blocks come from per-size free lists refilled from
// large chunks, with a 16-byte header that names the block's size class;
// blocks up to 256 KiB join them once the chunks are huge pages, and the
// rest goes to malloc. Single-threaded, as mod-query is. Linked into the
// program only: the tests and the sanitizer builds use the default.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kHeader = 16;  // keeps blocks 16-byte aligned
constexpr size_t kGranule = 16;
constexpr uint32_t kSmallClasses = 64;  // blocks up to 1 KiB, a module record among them
// Larger blocks, once the query has shown itself large: classes of 2 KiB to
// 256 KiB by powers of two, each with room for a string's final NUL, so that
// growing vectors and strings fit their class. Bigger ones go to malloc.
constexpr unsigned kFirstLargeShift = 11;
constexpr unsigned kLastLargeShift = 18;
constexpr size_t kLargeSlack = 16;
constexpr uint32_t kClasses = kSmallClasses + (kLastLargeShift - kFirstLargeShift + 1);
constexpr size_t kFirstChunk = 16 * 1024;
constexpr size_t kLastChunk = 256 * 1024;
constexpr size_t kHugePage = 2 * 1024 * 1024;
#ifdef MADV_POPULATE_WRITE
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;  // Linux 5.14; older kernels refuse it
#endif
// Memory taken before the arena moves to huge pages: a small query never
// gets there, a large one soon does.
constexpr size_t kHugeAfter = 128 * 1024;
constexpr uint32_t kMalloced = 0xFFFFFFFF;

struct FreeBlock {
  FreeBlock* next;
};

FreeBlock* free_lists[kClasses + 1];

// Payload bytes of a block of class `cls`.
constexpr size_t class_room(uint32_t cls) {
  return cls <= kSmallClasses
             ? cls * kGranule
             : (size_t{1} << (kFirstLargeShift + cls - kSmallClasses - 1)) + kLargeSlack;
}

// The class of a large block of `size` bytes, or 0 when it is too large.
uint32_t large_class(size_t size) {
  for (uint32_t cls = kSmallClasses + 1; cls <= kClasses; ++cls)
    if (size <= class_room(cls)) return cls;
  return 0;
}

// malloc with the standard's failure protocol: the new handler, then bad_alloc.
void* malloc_or_handle(size_t size) {
  for (;;) {
    if (void* p = malloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

char* bump = nullptr;
char* bump_end = nullptr;
size_t next_chunk = kFirstChunk;
size_t taken = 0;                 // chunk bytes mapped and large blocks malloced
bool arena_huge = false;          // the arena has moved to huge pages
bool huge_pages_refused = false;  // the system has none: not asked again
bool huge_pages_checked = false;

// Whether the system hands out huge pages when asked: where it never does,
// the huge chunk would be 512 small pages made present for nothing.
bool system_grants_huge_pages() {
  const int fd = open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[128];
  const ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return false;
  text[got] = '\0';
  return strstr(text, "[always]") != nullptr || strstr(text, "[madvise]") != nullptr;
}

// A chunk of one huge page, for a query that has already taken this much:
// a system's first touch of a page costs more than its use, and one huge
// page replaces 512 of them. Null where the system has no huge pages.
char* new_huge_chunk() {
  if (!huge_pages_checked) {
    huge_pages_checked = true;
    huge_pages_refused = !system_grants_huge_pages();
  }
  if (huge_pages_refused) return nullptr;
  const size_t size = kHugePage * 2;
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  // Aligned to the huge page, the rest of the mapping returned.
  char* start = static_cast<char*>(p);
  char* aligned = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + kHugePage - 1) &
                                          ~(uintptr_t{kHugePage} - 1));
  if (aligned > start) munmap(start, aligned - start);
  if (aligned + kHugePage < start + size)
    munmap(aligned + kHugePage, start + size - (aligned + kHugePage));
  if (madvise(aligned, kHugePage, MADV_HUGEPAGE) != 0) {
    munmap(aligned, kHugePage);
    huge_pages_refused = true;
    return nullptr;
  }
  // Present at once, as a huge page where one is free, else as small pages
  // (a kernel too old to populate on request faults them in as touched).
  if (madvise(aligned, kHugePage, kPopulateWrite) != 0) aligned[0] = 0;
  return aligned;
}

// Puts the block whose payload is `p` on the free list of class `cls`.
void push_free(void* p, uint32_t cls) {
  auto* freed = static_cast<FreeBlock*>(p);
  freed->next = free_lists[cls];
  free_lists[cls] = freed;
}

// The end of a chunk too short for the next block is cut into blocks for
// the free lists, largest first, so that little of a huge page is lost.
void keep_rest_of_chunk() {
  for (uint32_t cls = kClasses; cls > 0; --cls) {
    const size_t block_size = kHeader + class_room(cls);
    while (static_cast<size_t>(bump_end - bump) >= block_size) {
      *reinterpret_cast<uint32_t*>(bump) = cls;
      push_free(bump + kHeader, cls);
      bump += block_size;
    }
  }
}

// The arena continues in a huge page, once the query has taken enough to
// pay for one; false where there is none.
bool continue_in_huge_page() {
  if (taken < kHugeAfter) return false;
  char* huge = new_huge_chunk();
  if (huge == nullptr) return false;
  if (bump != nullptr) keep_rest_of_chunk();
  bump = huge;
  bump_end = huge + kHugePage;
  arena_huge = true;
  return true;
}

// The arena continues in a chunk of at least `need` bytes mapped with its
// pages present: one call instead of a page fault for every page the blocks
// touch. Chunks grow, so a small query maps little.
void continue_arena(size_t need) {
  if (continue_in_huge_page()) return;
  if (bump != nullptr) keep_rest_of_chunk();
  size_t size = next_chunk;
  while (size < need) size *= 2;
  if (next_chunk < kLastChunk) next_chunk *= 2;
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                 -1, 0);
  if (p == MAP_FAILED) {
    size = std::max(need, kFirstChunk);
    p = malloc_or_handle(size);
  } else {
    taken += size;
  }
  bump = static_cast<char*>(p);
  bump_end = bump + size;
}

void* allocate(size_t size) {
  uint32_t cls = static_cast<uint32_t>((size + kGranule - 1) / kGranule);
  if (cls > kSmallClasses) {
    // A large block counts towards the huge page, which may come for it.
    if (!arena_huge) {
      taken += std::min(size, kHugeAfter);
      continue_in_huge_page();
    }
    cls = arena_huge ? large_class(size) : 0;
  }
  if (cls == 0) {
    char* block = static_cast<char*>(malloc_or_handle(size + kHeader));
    *reinterpret_cast<uint32_t*>(block) = kMalloced;
    return block + kHeader;
  }
  if (FreeBlock* reused = free_lists[cls]) {
    free_lists[cls] = reused->next;
    return reused;
  }
  const size_t block_size = kHeader + class_room(cls);
  if (static_cast<size_t>(bump_end - bump) < block_size) continue_arena(block_size);
  char* block = bump;
  bump += block_size;
  *reinterpret_cast<uint32_t*>(block) = cls;
  return block + kHeader;
}

void release(void* p) {
  if (p == nullptr) return;
  char* block = static_cast<char*>(p) - kHeader;
  const uint32_t cls = *reinterpret_cast<uint32_t*>(block);
  if (cls == kMalloced) {
    free(block);
    return;
  }
  push_free(p, cls);
}

}  // namespace

void* operator new(size_t size) {
  return allocate(size);
}
void* operator new[](size_t size) {
  return allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, size_t) noexcept {
  release(p);
}
void operator delete[](void* p, size_t) noexcept {
  release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  release(p);
}
