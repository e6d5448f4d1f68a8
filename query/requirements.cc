#include "query/requirements.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace {

bool is_operator_byte(char c) {
  return c == '!' || c == '<' || c == '=' || c == '>';
}
// Version texts are compared with the C library's classes under the user's
// LC_CTYPE: in an 8-bit locale, letters beyond ASCII form letter runs too.
// The classes are taken once, at the first comparison, which comes after
// the program has set its locale; a table read costs less than a call.
enum : uint8_t { kDigit = 1, kLetter = 2 };
const uint8_t* version_byte_classes() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
      t[c] = static_cast<uint8_t>((isdigit(c) ? kDigit : 0) | (isalpha(c) ? kLetter : 0));
    return t;
  }();
  return table.data();
}

}  // namespace

void split_module_list(std::string_view text, std::vector<std::string_view>* entries) {
  entries->clear();
  const size_t n = text.size();
  size_t start = 0, i = 0;
  auto run_to_separator = [&] {
    while (i < n && text[i] != ',' && !is_c_space(text[i])) ++i;
  };
  for (;;) {
    while (i < n && (text[i] == ',' || is_c_space(text[i]))) ++i;
    if (i == n) break;
    ++i;  // the name's first byte
    run_to_separator();
    if (i < n && is_c_space(text[i])) {
      size_t next = i;
      while (next < n && is_c_space(text[next])) ++next;
      if (next < n && is_operator_byte(text[next])) {
        // An operator after the blanks: it and the version that follows
        // belong to this entry. The first byte past the operator, and the
        // first one past the blanks after it, are taken whatever they are.
        i = next + 1;
        while (i < n && is_operator_byte(text[i])) ++i;
        if (i < n) ++i;
        while (i < n && is_c_space(text[i])) ++i;
        if (i < n) ++i;
        run_to_separator();
      }
    }
    if (i == n) break;
    entries->push_back(text.substr(start, i - start));
    start = i;  // the separator begins the next entry
    ++i;
  }
  if (start < n) entries->push_back(text.substr(start));
}

std::vector<std::string_view> split_module_list(std::string_view text) {
  std::vector<std::string_view> entries;
  split_module_list(text, &entries);
  return entries;
}

std::vector<VersionRequirement> parse_module_list(PackageRecord* declared_by, std::string_view text,
                                                  const char* path, TextStore* texts) {
  // The entries' views, kept between calls: lists are parsed by the hundred.
  static std::vector<std::string_view> entries;
  split_module_list(text, &entries);
  std::vector<VersionRequirement> result;
  result.reserve(entries.size());  // records keep these: no room to spare
  for (const std::string_view entry : entries) {
    // Read as a C string: past the end (or at a NUL byte) reads as NUL.
    const char* p = entry.data();
    const char* const end = p + entry.size();
    auto at = [end](const char* q) { return q < end ? *q : '\0'; };
    while (at(p) == ',' || is_c_space(at(p))) ++p;
    if (at(p) == '\0') {
      verbose_error("Empty package name in Requires or Conflicts in file '%s'\n", path);
      end_on_parse_error();
      continue;
    }
    VersionRequirement& req = result.emplace_back();
    req.declared_by = declared_by;
    const char* name_start = p;
    while (at(p) && !is_c_space(at(p))) ++p;
    req.name = texts->keep(std::string_view(name_start, static_cast<size_t>(p - name_start)));
    while (is_c_space(at(p)) || at(p) == ',') ++p;
    if (at(p) == '\0') continue;
    const char* op_start = p;
    while (at(p) && !is_c_space(at(p))) ++p;
    const std::string_view op(op_start, p - op_start);
    while (is_c_space(at(p))) ++p;
    static constexpr struct {
      std::string_view text;
      VersionOp op;
    } kOperators[] = {{"=", VersionOp::Equal},      {">=", VersionOp::GreaterEqual},
                      {"<=", VersionOp::LessEqual}, {">", VersionOp::Greater},
                      {"<", VersionOp::Less},       {"!=", VersionOp::NotEqual}};
    bool known = false;
    for (const auto& o : kOperators) {
      if (op == o.text) {
        req.comparison = o.op;
        known = true;
        break;
      }
    }
    if (!known) {
      const std::string token(op);
      verbose_error(
          "Unknown version comparison operator '%s' after package name '%s' in file '%s'\n",
          token.c_str(), req.name.c_str(), path);
      end_on_parse_error();
      continue;
    }
    const char* version_start = p;
    while (at(p) && !is_c_space(at(p)) && at(p) != ',') ++p;
    if (p == version_start) {
      verbose_error("Comparison operator but no version after package name '%s' in file '%s'\n",
                    req.name.c_str(), path);
      end_on_parse_error();
      req.bound = Text("0");
    } else {
      req.bound =
          texts->keep(std::string_view(version_start, static_cast<size_t>(p - version_start)));
    }
  }
  return result;
}

int compare_versions_text(std::string_view a, std::string_view b) {
  const uint8_t* const classes = version_byte_classes();
  auto class_of = [classes](const unsigned char* c) { return classes[*c]; };
  const auto* p = reinterpret_cast<const unsigned char*>(a.data());
  const auto* q = reinterpret_cast<const unsigned char*>(b.data());
  const unsigned char* const p_end = p + a.size();
  const unsigned char* const q_end = q + b.size();
  for (;;) {
    if (p == p_end) return q == q_end ? 0 : -1;
    if (q == q_end) return 1;
    while (p < p_end && class_of(p) == 0) ++p;
    while (q < q_end && class_of(q) == 0) ++q;
    if (q == q_end) return p == p_end ? 0 : 1;
    if (p == p_end) return -1;
    const uint8_t run_class = class_of(p) & kDigit ? kDigit : kLetter;
    const unsigned char* p_run = p;
    const unsigned char* q_run = q;
    while (p < p_end && (class_of(p) & run_class)) ++p;
    while (q < q_end && (class_of(q) & run_class)) ++q;
    if (q == q_run) return run_class == kDigit ? 1 : -1;
    if (run_class == kDigit) {
      while (p_run < p && *p_run == '0') ++p_run;
      while (q_run < q && *q_run == '0') ++q_run;
      if (p - p_run != q - q_run) return p - p_run > q - q_run ? 1 : -1;
    }
    // Byte-wise, as unsigned bytes; a shorter run that is a prefix sorts first.
    for (; p_run < p && q_run < q; ++p_run, ++q_run)
      if (*p_run != *q_run) return *p_run > *q_run ? 1 : -1;
    if (p_run != p) return 1;
    if (q_run != q) return -1;
  }
}

bool version_test(VersionOp comparison, std::string_view actual,
                  std::optional<std::string_view> bound) {
  if (comparison == VersionOp::Any) return true;
  const int c = compare_versions_text(actual, bound.value_or(std::string_view()));
  switch (comparison) {
    case VersionOp::Less:
      return c < 0;
    case VersionOp::Greater:
      return c > 0;
    case VersionOp::LessEqual:
      return c <= 0;
    case VersionOp::GreaterEqual:
      return c >= 0;
    case VersionOp::Equal:
      return c == 0;
    case VersionOp::NotEqual:
      return c != 0;
    case VersionOp::Any:
      return true;
  }
  g_assert_not_reached();
}

const char* comparison_to_str(VersionOp comparison) {
  switch (comparison) {
    case VersionOp::Less:
      return "<";
    case VersionOp::Greater:
      return ">";
    case VersionOp::LessEqual:
      return "<=";
    case VersionOp::GreaterEqual:
      return ">=";
    case VersionOp::Equal:
      return "=";
    case VersionOp::NotEqual:
      return "!=";
    case VersionOp::Any:
      return "(any)";
  }
  g_assert_not_reached();
}
