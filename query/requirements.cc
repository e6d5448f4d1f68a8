#include "query/requirements.h"

#include <glib.h>

#include <cctype>

namespace {

bool is_operator_byte(char c) {
  return c == '!' || c == '<' || c == '=' || c == '>';
}
// Version texts are compared with the C library's classes under the user's
// LC_CTYPE: in an 8-bit locale, letters beyond ASCII form letter runs too.
bool is_digit_byte(char c) {
  return isdigit(static_cast<unsigned char>(c)) != 0;
}
bool is_letter_byte(char c) {
  return isalpha(static_cast<unsigned char>(c)) != 0;
}
bool is_alnum_byte(char c) {
  return isalnum(static_cast<unsigned char>(c)) != 0;
}

enum class SplitState { Outside, InName, BeforeOp, InOp, AfterOp, InVersion };

}  // namespace

std::vector<std::string_view> split_module_list(std::string_view text) {
  std::vector<std::string_view> entries;
  entries.reserve(4);
  SplitState state = SplitState::Outside;
  size_t start = 0;
  auto emit = [&](size_t end) {
    entries.emplace_back(text.substr(start, end - start));
    start = end;  // the separator begins the next entry
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (state) {
      case SplitState::Outside:
        if (c != ',' && !is_c_space(c)) state = SplitState::InName;
        break;
      case SplitState::InName:
        if (c == ',') {
          emit(i);
          state = SplitState::Outside;
        } else if (is_c_space(c)) {
          size_t next = i;
          while (next < text.size() && is_c_space(text[next])) ++next;
          if (next < text.size() && is_operator_byte(text[next])) {
            state = SplitState::BeforeOp;
          } else {
            emit(i);
            state = SplitState::Outside;
          }
        }
        break;
      case SplitState::BeforeOp:
        if (is_operator_byte(c)) state = SplitState::InOp;
        break;
      case SplitState::InOp:
        if (!is_operator_byte(c)) state = SplitState::AfterOp;
        break;
      case SplitState::AfterOp:
        if (!is_c_space(c)) state = SplitState::InVersion;
        break;
      case SplitState::InVersion:
        if (c == ',' || is_c_space(c)) {
          emit(i);
          state = SplitState::Outside;
        }
        break;
    }
  }
  if (start < text.size()) emit(text.size());
  return entries;
}

std::vector<VersionRequirement> parse_module_list(PackageRecord* declared_by, std::string_view text,
                                                  const char* path) {
  const std::vector<std::string_view> entries = split_module_list(text);
  std::vector<VersionRequirement> result;
  result.reserve(entries.size());  // records keep these: no room to spare
  for (const std::string_view entry : entries) {
    // Read as a C string: past the end (or at a NUL byte) reads as NUL.
    const char* p = entry.data();
    const char* const end = p + entry.size();
    auto at = [end](const char* q) { return q < end ? *q : '\0'; };
    VersionRequirement req;
    req.declared_by = declared_by;
    while (at(p) == ',' || is_c_space(at(p))) ++p;
    if (at(p) == '\0') {
      verbose_error("Empty package name in Requires or Conflicts in file '%s'\n", path);
      end_on_parse_error();
      continue;
    }
    const char* name_start = p;
    while (at(p) && !is_c_space(at(p))) ++p;
    req.name.assign(name_start, p);
    while (is_c_space(at(p)) || at(p) == ',') ++p;
    if (at(p) == '\0') {
      result.push_back(std::move(req));
      continue;
    }
    const char* op_start = p;
    while (at(p) && !is_c_space(at(p))) ++p;
    const std::string_view op(op_start, p - op_start);
    while (is_c_space(at(p))) ++p;
    static const struct {
      const char* text;
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
      result.push_back(std::move(req));
      continue;
    }
    const char* version_start = p;
    while (at(p) && !is_c_space(at(p)) && at(p) != ',') ++p;
    if (p == version_start) {
      verbose_error("Comparison operator but no version after package name '%s' in file '%s'\n",
                    req.name.c_str(), path);
      end_on_parse_error();
      req.bound.emplace(1, '0');  // emplace: dodges a false -Wrestrict in GCC 12
    } else {
      req.bound.emplace(version_start, p);
    }
    result.push_back(std::move(req));
  }
  return result;
}

int compare_versions_text(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  size_t i = 0, j = 0;
  for (;;) {
    if (i == a.size()) return j == b.size() ? 0 : -1;
    if (j == b.size()) return 1;
    while (i < a.size() && !is_alnum_byte(a[i])) ++i;
    while (j < b.size() && !is_alnum_byte(b[j])) ++j;
    if (j == b.size()) return i == a.size() ? 0 : 1;
    if (i == a.size()) return -1;
    const bool digits = is_digit_byte(a[i]);
    auto in_run = digits ? is_digit_byte : is_letter_byte;
    size_t a_end = i, b_end = j;
    while (a_end < a.size() && in_run(a[a_end])) ++a_end;
    while (b_end < b.size() && in_run(b[b_end])) ++b_end;
    if (b_end == j) return digits ? 1 : -1;
    std::string_view run_a = a.substr(i, a_end - i), run_b = b.substr(j, b_end - j);
    if (digits) {
      while (!run_a.empty() && run_a.front() == '0') run_a.remove_prefix(1);
      while (!run_b.empty() && run_b.front() == '0') run_b.remove_prefix(1);
      if (run_a.size() != run_b.size()) return run_a.size() > run_b.size() ? 1 : -1;
    }
    // Byte-wise, as unsigned bytes; a shorter run that is a prefix sorts first.
    const int c = run_a.compare(run_b);
    if (c != 0) return c > 0 ? 1 : -1;
    i = a_end;
    j = b_end;
  }
}

bool version_test(VersionOp comparison, const std::string& actual,
                  const std::optional<std::string>& bound) {
  if (comparison == VersionOp::Any) return true;
  const int c =
      compare_versions_text(actual, bound ? std::string_view(*bound) : std::string_view());
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
