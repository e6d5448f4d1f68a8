#include "query/record_text.h"

#include <algorithm>
#include <utility>

struct TextStore::Chunk {
  Chunk* next;
  size_t size;
  // The bytes follow.
  char* bytes() { return reinterpret_cast<char*>(this + 1); }
};

TextStore::TextStore(TextStore&& other) noexcept
    : chunks_(std::exchange(other.chunks_, nullptr)),
      next_(std::exchange(other.next_, nullptr)),
      end_(std::exchange(other.end_, nullptr)) {}

TextStore& TextStore::operator=(TextStore&& other) noexcept {
  if (this != &other) {
    release();
    chunks_ = std::exchange(other.chunks_, nullptr);
    next_ = std::exchange(other.next_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
  }
  return *this;
}

TextStore::~TextStore() {
  release();
}

void TextStore::release() {
  while (chunks_) {
    Chunk* next = chunks_->next;
    ::operator delete(chunks_);
    chunks_ = next;
  }
  next_ = end_ = nullptr;
}

void TextStore::grow(size_t size) {
  // Each chunk is twice the last (up to a bound, so that one huge text does
  // not make the next chunk huge too); a record reserves its first.
  constexpr size_t kFirst = 128 - sizeof(Chunk);
  constexpr size_t kLargest = size_t{64} << 10;
  const size_t wanted = size + 1;
  const size_t chunk_size =
      std::max(wanted, chunks_ ? std::min(chunks_->size * 2, kLargest) : kFirst);
  auto* chunk = static_cast<Chunk*>(::operator new(sizeof(Chunk) + chunk_size));
  chunk->next = chunks_;
  chunk->size = chunk_size;
  chunks_ = chunk;
  next_ = chunk->bytes();
  end_ = next_ + chunk_size;
}
