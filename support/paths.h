// Paths and ":"-separated lists of them; nothing here allocates.
#pragma once

#include <string_view>

// Last component of a path.
const char* path_last_component(const char* path);
const char* path_last_component_dos(const char* path);

// Calls f(piece) for every piece of a `separator`-separated list, in order,
// empty pieces included: "a::b" gives "a", "", "b", and an empty text one
// empty piece. Pieces are views into `text`.
template <typename F>
void for_each_list_piece(std::string_view text, char separator, F f) {
  for (;;) {
    const size_t end = text.find(separator);
    f(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// Writes a list piece as a directory prefix to `out` ("./" for an empty
// piece, else the piece ending in "/") and returns the length written; `out`
// has room for the piece and two more bytes.
size_t write_directory_prefix(std::string_view piece, char* out);
