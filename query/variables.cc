#include "query/variables.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

void set_global_variable(const std::string& name, const std::string& value) {
  if (global_variables.count(name)) {
    verbose_error("Variable '%s' defined twice globally\n", name.c_str());
    // Met inside the option parser's callback, which cannot fail without a
    // message of its own: the run ends here.
    query_exit(1);
  }
  global_variables.emplace(name, value);
  debug_spew("Global variable definition '%s' = '%s'\n", name.c_str(), value.c_str());
}

bool split_define_argument(std::string_view argument, std::string* name, std::string* value) {
  size_t i = 0;
  while (i < argument.size() && is_c_space(argument[i])) ++i;
  if (i == argument.size()) return false;
  const size_t name_start = i;
  while (i < argument.size() && argument[i] != '=' && argument[i] != ' ') ++i;
  if (i == argument.size()) return false;
  const size_t name_end = i;
  while (i < argument.size() && (argument[i] == '=' || argument[i] == ' ')) ++i;
  if (i == argument.size()) return false;
  name->assign(argument.substr(name_start, name_end - name_start));
  value->assign(argument.substr(i));
  return true;
}

namespace {

// "NAME=VALUE" entries of the environment that may override a module's
// variable: their name starts with MOD_QUERY_ and holds a "_" after it.
std::vector<std::string_view> override_entries;

// The byte an override's name has for byte `c` of a key or variable name.
char override_byte(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return cc_is(c, CC_DIGIT | CC_UPPER | CC_LOWER) ? c : '_';
}

// The value when `entry` is the override of `module_key`'s variable `name`:
// its name is MOD_QUERY_, the key, "_" and the variable, upper-cased with
// every other byte as "_". Compared in place, without building the name.
const char* match_override(std::string_view entry, std::string_view module_key,
                           std::string_view name) {
  size_t i = 10;  // after "MOD_QUERY_"
  auto next_is = [&](char c) { return i < entry.size() && entry[i++] == override_byte(c); };
  for (char c : module_key)
    if (!next_is(c)) return nullptr;
  if (!next_is('_')) return nullptr;
  for (char c : name)
    if (!next_is(c)) return nullptr;
  return i < entry.size() && entry[i] == '=' ? entry.data() + i + 1 : nullptr;
}

}  // namespace

void take_override_snapshot() {
  override_entries.clear();
  for (char** e = environ; *e; ++e) {
    if (strncmp(*e, "MOD_QUERY_", 10) != 0) continue;
    // Every override's name has the "_" between key and variable; the
    // program's own settings (MOD_QUERY_PATH) mostly have none.
    const char* name_end = strchrnul(*e + 10, '=');
    if (memchr(*e + 10, '_', static_cast<size_t>(name_end - (*e + 10))) != nullptr)
      override_entries.emplace_back(*e);
  }
}

std::optional<std::string_view> resolve_variable(const PackageRecord& record,
                                                 std::string_view name) {
  for (std::string_view entry : override_entries) {
    if (const char* value = match_override(entry, record.module_key, name)) {
      debug_spew("Overriding variable '%s' from environment\n", std::string(name).c_str());
      return std::string_view(value);
    }
  }
  // Globals are few (two built in, and the user's definitions): comparing
  // them costs less than hashing the name.
  if (global_variables.size() <= 8) {
    for (const auto& [global, value] : global_variables)
      if (global == name) return value;
  } else if (auto it = global_variables.find(name); it != global_variables.end()) {
    return it->second;
  }
  if (auto it = record.variables.find(name); it != record.variables.end()) return it->second;
  return std::nullopt;
}

namespace {

// `trimmed` with its references replaced, into `*out`.
void substitute(const PackageRecord& record, std::string_view trimmed, const char* path,
                std::string* out) {
  out->clear();
  out->reserve(trimmed.size());
  size_t i = 0;
  while (i < trimmed.size()) {
    const char c = trimmed[i];
    if (c == '$' && i + 1 < trimmed.size() && trimmed[i + 1] == '$') {
      out->push_back('$');
      i += 2;
    } else if (c == '$' && i + 1 < trimmed.size() && trimmed[i + 1] == '{') {
      const size_t name_start = i + 2;
      size_t close = trimmed.find('}', name_start);
      if (close == std::string_view::npos) close = trimmed.size();
      const std::string_view name = trimmed.substr(name_start, close - name_start);
      if (auto value = resolve_variable(record, name)) {
        out->append(*value);
      } else {
        verbose_error("Variable '%s' not defined in '%s'\n", std::string(name).c_str(), path);
        end_on_parse_error();
      }
      i = close + 1;
    } else {
      // Plain text up to the next "$" in one step.
      size_t next = trimmed.find('$', i + 1);
      if (next == std::string_view::npos) next = trimmed.size();
      out->append(trimmed.substr(i, next - i));
      i = next;
    }
  }
}

bool names_a_variable(std::string_view text) {
  return memchr(text.data(), '$', text.size()) != nullptr;
}

}  // namespace

std::string_view expanded_view(const PackageRecord& record, std::string_view text, const char* path,
                               std::string* scratch) {
  const std::string_view trimmed = trim_view(text);
  // Most values name no variable: they are the text itself.
  if (!names_a_variable(trimmed)) return trimmed;
  substitute(record, trimmed, path, scratch);
  return *scratch;
}

std::string expand_variables(const PackageRecord& record, std::string_view text, const char* path) {
  std::string scratch;
  return std::string(expanded_view(record, text, path, &scratch));
}

std::optional<std::string> variable_for_output(const PackageRecord& record,
                                               const std::string& name) {
  const std::optional<std::string_view> found = resolve_variable(record, name);
  if (!found) return std::nullopt;
  std::string value(*found);
  if (value.empty() || (value[0] != '"' && value[0] != '\'')) return value;
  GError* error = nullptr;
  char* unquoted = g_shell_unquote(value.c_str(), &error);
  if (unquoted == nullptr) {
    debug_spew("Couldn't unquote value of \"%s\": %s\n", name.c_str(),
               error && error->message ? error->message : "unknown");
    g_clear_error(&error);
    return value;
  }
  std::string result(unquoted);
  g_free(unquoted);
  return result;
}
