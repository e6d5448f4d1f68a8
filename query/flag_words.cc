#include "query/flag_words.h"

#include <glib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Bytes that get a backslash in front: controls, space, '!', '"', '#', the
// shell's special characters, and everything from 0x7F on.
constexpr auto kEscaped = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = c < 0x24 || c >= 0x7F;
  for (unsigned char c : std::string_view("%&'*;<>?[\\]`{|}")) table[c] = true;
  return table;
}();

size_t count_escapes(std::string_view text) {
  size_t escapes = 0;
  for (char c : text) escapes += kEscaped[static_cast<unsigned char>(c)];
  return escapes;
}

// Writes `text` escaped at `out`, which has room for it; returns the end.
char* write_escaped(std::string_view text, size_t escapes, char* out) {
  if (escapes == 0) {
    if (!text.empty()) memcpy(out, text.data(), text.size());
    return out + text.size();
  }
  for (char c : text) {
    if (kEscaped[static_cast<unsigned char>(c)]) *out++ = '\\';
    *out++ = c;
  }
  return out;
}

// One word of a flags value, with the number of bytes escaping adds to it.
struct Word {
  std::string_view text;
  size_t escapes;
};

// Takes a field's words one at a time and adds them as flags. An option
// that takes the next word as its operand ("-isystem DIR", "-framework X")
// forms one flag with it; at the end of the words it stands alone.
class FlagClassifier {
 public:
  FlagClassifier(bool link, std::vector<FlagItem>* out, TextStore* texts)
      : link_(link), out_(out), texts_(texts) {}

  // `w` must live until the next word has been added.
  void add(const Word& w) {
    if (pending_) {
      add_flag(pending_class_, *pending_, &w);
      pending_ = nullptr;
      return;
    }
    // Escaping adds backslashes only before bytes these tests never look
    // at, so the raw word is tested and the escaped one stored.
    const std::string_view a = w.text;
    if (link_) {
      if (a.substr(0, 2) == "-l" && a.substr(0, 5) != "-lib:") {
        add_flag(LIBS_l, w);
      } else if (a.substr(0, 2) == "-L") {
        add_flag(LIBS_L, w);
      } else if (a == "-framework" || a == "-Wl,-framework") {
        pending_ = &w;
        pending_class_ = LIBS_OTHER;
      } else if (!a.empty()) {
        add_flag(LIBS_OTHER, w);
      }
    } else {
      if (a.substr(0, 2) == "-I") {
        add_flag(CFLAGS_I, w);
      } else if (a == "-idirafter" || a == "-isystem") {
        pending_ = &w;
        pending_class_ = CFLAGS_I;
      } else if (!a.empty()) {
        add_flag(CFLAGS_OTHER, w);
      }
    }
  }

  // After the last word.
  void finish() {
    if (pending_) add_flag(link_ ? LIBS_OTHER : CFLAGS_OTHER, *pending_);
    pending_ = nullptr;
  }

 private:
  // Adds `a`, or `a` and `b` with one space between, each escaped.
  void add_flag(uint8_t flag_class, const Word& a, const Word* b = nullptr) {
    size_t length = a.text.size() + a.escapes;
    if (b) length += 1 + b->text.size() + b->escapes;
    char* const start = texts_->room(length);
    char* end = write_escaped(a.text, a.escapes, start);
    if (b) {
      *end++ = ' ';
      end = write_escaped(b->text, b->escapes, end);
    }
    out_->push_back({flag_class, texts_->finish(start, static_cast<size_t>(end - start))});
  }

  bool link_;
  std::vector<FlagItem>* out_;
  TextStore* texts_;
  const Word* pending_ = nullptr;
  uint8_t pending_class_ = 0;
};

// What a byte of a flags value is to the plain split: a blank between
// words, a byte only the shell rules handle (quoting, escaping, comments,
// line breaks, and NUL, which ends a C string), and whether it is escaped.
enum : uint8_t { kBlank = 1, kShellOnly = 2, kEscapedByte = 4 };
constexpr auto kSplitClass = [] {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = kEscaped[c] ? kEscapedByte : 0;
  table[' '] |= kBlank;
  table['\t'] |= kBlank;
  for (unsigned char c : std::string_view("'\"\\#\n\r\0", 7)) table[c] |= kShellOnly;
  return table;
}();

// The words of a value with no quoting, escaping, comment, line break or
// NUL: cut at blanks, it gives the words the shell rules give, and one pass
// finds both the words and what escaping them adds. False for any other
// value, and for one without words, which the shell rules refuse.
bool split_plain_value(std::string_view value, std::vector<Word>* words) {
  auto class_of = [](char c) { return kSplitClass[static_cast<unsigned char>(c)]; };
  words->clear();
  const char* p = value.data();
  const char* const end = p + value.size();
  while (p < end) {
    uint8_t c = class_of(*p);
    if (c & kBlank) {
      ++p;
      continue;
    }
    const char* word = p;
    size_t escapes = 0;
    for (;;) {
      // Most bytes of a word are of no class: four at a time while they are.
      while (end - p >= 4 &&
             (class_of(p[0]) | class_of(p[1]) | class_of(p[2]) | class_of(p[3])) == 0)
        p += 4;
      if (p == end) break;
      c = class_of(*p);
      if (c & (kBlank | kShellOnly)) break;
      escapes += c >> 2;  // kEscapedByte
      ++p;
    }
    if (p < end && (c & kShellOnly)) return false;
    // Vertical tabs and form feeds are not blanks here, but a word is
    // trimmed of them.
    const std::string_view raw(word, static_cast<size_t>(p - word));
    const std::string_view trimmed = trim_view(raw);
    if (trimmed.size() != raw.size()) escapes = count_escapes(trimmed);
    words->push_back({trimmed, escapes});
  }
  return !words->empty();
}

void classify_words(const std::vector<Word>& words, bool link, std::vector<FlagItem>* out,
                    TextStore* texts) {
  out->reserve(out->size() + words.size());
  FlagClassifier classifier(link, out, texts);
  for (const Word& w : words) classifier.add(w);
  classifier.finish();
}

// Words as the shell rules split them: escaping is counted on each.
void classify_args(const std::vector<std::string_view>& args, bool link, std::vector<FlagItem>* out,
                   TextStore* texts) {
  std::vector<Word> words;
  words.reserve(args.size());
  for (std::string_view a : args) words.push_back({a, count_escapes(a)});
  classify_words(words, link, out, texts);
}

}  // namespace

std::string shell_escape(std::string_view text) {
  const size_t escapes = count_escapes(text);
  std::string out(text.size() + escapes, '\0');
  write_escaped(text, escapes, out.data());
  return out;
}

void classify_compile_args(const std::vector<std::string_view>& args, std::vector<FlagItem>* out,
                           TextStore* texts) {
  classify_args(args, false, out, texts);
}

void classify_link_args(const std::vector<std::string_view>& args, std::vector<FlagItem>* out,
                        TextStore* texts) {
  classify_args(args, true, out, texts);
}

bool add_flag_words(const char* field, std::string_view value, bool link,
                    std::vector<FlagItem>* out, TextStore* texts) {
  if (value.empty()) return true;
  // Kept from field to field: a query reads hundreds.
  static std::vector<Word> words;
  if (split_plain_value(value, &words)) {
    classify_words(words, link, out, texts);
    return true;
  }
  int argc = 0;
  char** argv = nullptr;
  GError* error = nullptr;
  // The shell rules read a C string: up to the first NUL, as the plain
  // split does.
  if (!g_shell_parse_argv(std::string(value).c_str(), &argc, &argv, &error)) {
    verbose_error("Couldn't parse %s field into an argument vector: %s\n", field,
                  error && error->message ? error->message : "unknown");
    g_clear_error(&error);
    end_on_parse_error();
    return false;
  }
  const std::unique_ptr<char*, void (*)(char**)> owner(argv, g_strfreev);
  words.clear();
  for (int i = 0; i < argc; ++i) {
    const std::string_view word = trim_view(argv[i]);
    words.push_back({word, count_escapes(word)});
  }
  classify_words(words, link, out, texts);
  return true;
}
