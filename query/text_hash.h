// The hash and key comparison of mod-query's tables, whose keys are short names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Whether two names are the same bytes. Names are short: up to 16 bytes are
// compared as one or two overlapping words, without a library call.
inline bool same_text(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  auto same_words = [p, q, n](auto word) {
    constexpr size_t w = sizeof word;
    decltype(word) x, y, x_end, y_end;
    memcpy(&x, p, w);
    memcpy(&y, q, w);
    memcpy(&x_end, p + n - w, w);
    memcpy(&y_end, q + n - w, w);
    return ((x ^ y) | (x_end ^ y_end)) == 0;
  };
  if (n > 16) return memcmp(p, q, n) == 0;
  if (n >= 8) return same_words(uint64_t{});
  if (n >= 4) return same_words(uint32_t{});
  for (size_t i = 0; i < n; ++i)
    if (p[i] != q[i]) return false;
  return true;
}

// Hashes any string form, so that tables keyed by std::string are searched
// with a view, without building a key. Keys are short names: eight bytes at
// a time (a short key in one or two overlapping loads), mixed by
// multiplication, cost a few instructions where the library's general hash
// costs tens.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const char* p = text.data();
    const size_t n = text.size();
    uint64_t h = n * kMultiplier;
    auto mix = [&h](uint64_t word) {
      h = (h ^ word) * kMultiplier;
      h ^= h >> 29;
    };
    if (n >= 8) {
      size_t i = 0;
      for (; i + 8 < n; i += 8) mix(load<uint64_t>(p + i));
      mix(load<uint64_t>(p + n - 8));  // the last eight, overlapping
    } else if (n >= 4) {
      mix(load<uint32_t>(p) | uint64_t{load<uint32_t>(p + n - 4)} << 32);
    } else if (n > 0) {
      const auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
      mix(byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16);
    }
    h *= kMultiplier;
    return static_cast<size_t>(h ^ (h >> 32));
  }

 private:
  template <typename Word>
  static Word load(const char* p) {
    Word word;
    memcpy(&word, p, sizeof word);
    return word;
  }
};
