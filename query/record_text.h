// The texts of module records. A record holds tens of short texts (flags,
// requirement names, variables); as std::string each would be built, sized
// and often allocated on its own. Here a record's texts are copied once into
// a store the record owns, and the record keeps views of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A view of NUL-terminated bytes that live as long as their TextStore, or
// of a string literal.
class Text {
 public:
  constexpr Text() = default;  // ""
  template <size_t N>
  constexpr Text(const char (&literal)[N]) : data_(literal), size_(N - 1) {}

  const char* c_str() const { return data_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return {data_, size_}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(data_, size_); }
  // A view of a string the caller keeps alive and unchanged while the view
  // is in use.
  static Text borrow(const std::string& text) { return Text(text.c_str(), text.size()); }

  friend bool operator==(Text a, Text b) { return a.view() == b.view(); }
  friend bool operator==(Text a, std::string_view b) { return a.view() == b; }
  friend bool operator==(Text a, const char* b) { return a.view() == b; }
  friend bool operator==(Text a, const std::string& b) { return a.view() == b; }

 private:
  friend class TextStore;
  Text(const char* data, size_t size) : data_(data), size_(size) {}

  const char* data_ = "";
  size_t size_ = 0;
};

// Owns texts: bytes in chunks that never move, freed with the store.
class TextStore {
 public:
  TextStore() = default;
  TextStore(TextStore&& other) noexcept;
  TextStore& operator=(TextStore&& other) noexcept;
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;
  ~TextStore();

  // Room for texts of `size` bytes in all, before the first is kept.
  void reserve(size_t size) {
    if (chunks_ == nullptr) grow(size);
  }
  // A copy of `text`, NUL-terminated.
  Text keep(std::string_view text) {
    char* bytes = room(text.size());
    copy_bytes(bytes, text.data(), text.size());
    return finish(bytes, text.size());
  }
  // Room for a text of up to `size` bytes, which the caller writes and
  // then passes to finish with the length written; nothing else may be
  // kept in between.
  char* room(size_t size) {
    if (static_cast<size_t>(end_ - next_) <= size) grow(size);
    return next_;
  }
  Text finish(char* bytes, size_t size) {
    bytes[size] = '\0';
    next_ = bytes + size + 1;
    return Text(bytes, size);
  }

 private:
  struct Chunk;
  // Texts are mostly short: up to 16 bytes are copied as one or two
  // overlapping words, without a library call.
  static void copy_bytes(char* to, const char* from, size_t n) {
    auto copy_words = [to, from, n](auto word) {
      constexpr size_t w = sizeof word;
      decltype(word) tail;
      memcpy(&word, from, w);
      memcpy(&tail, from + n - w, w);
      memcpy(to, &word, w);
      memcpy(to + n - w, &tail, w);
    };
    if (n > 16)
      memcpy(to, from, n);
    else if (n >= 8)
      copy_words(uint64_t{});
    else if (n >= 4)
      copy_words(uint32_t{});
    else
      for (size_t i = 0; i < n; ++i) to[i] = from[i];
  }
  void grow(size_t size);
  void release();

  Chunk* chunks_ = nullptr;  // the newest first
  char* next_ = nullptr;
  char* end_ = nullptr;
};
