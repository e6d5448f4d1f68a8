// The hash of mod-query's tables, whose keys are short names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Hashes any string form, so that tables keyed by std::string are searched
// with a view, without building a key. Keys are short names: eight bytes at
// a time, mixed by multiplication, cost a few instructions where the
// library's general hash costs tens.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t h = text.size() * kMultiplier;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      uint64_t word;
      memcpy(&word, text.data() + i, 8);
      h = (h ^ word) * kMultiplier;
      h ^= h >> 29;
    }
    uint64_t tail = 0;
    for (size_t shift = 0; i < text.size(); ++i, shift += 8)
      tail |= uint64_t{static_cast<unsigned char>(text[i])} << shift;
    h = (h ^ tail) * kMultiplier;
    return static_cast<size_t>(h ^ (h >> 32));
  }
};
