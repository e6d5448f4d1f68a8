#include "query/variables.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

void set_global_variable(const std::string& name, const std::string& value) {
  if (global_variables.count(name)) {
    verbose_error("Variable '%s' defined twice globally\n", name.c_str());
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

std::string override_env_name(std::string_view module_key, std::string_view name) {
  std::string env;
  env.reserve(11 + module_key.size() + name.size());
  env.append("MOD_QUERY_").append(module_key).append("_").append(name);
  for (char& c : env) {
    c = g_ascii_toupper(c);
    if (!g_ascii_isalnum(c)) c = '_';
  }
  return env;
}

namespace {

// Overrides are rare: look for one only when the environment holds any
// variable of that form at all (the environment does not change during a run).
bool environment_may_override() {
  static const bool any = [] {
    for (char** e = environ; *e; ++e)
      if (strncmp(*e, "MOD_QUERY_", 10) == 0) return true;
    return false;
  }();
  return any;
}

}  // namespace

std::optional<std::string> resolve_variable(const PackageRecord& record, const std::string& name) {
  const char* env = environment_may_override()
                        ? getenv(override_env_name(record.module_key, name).c_str())
                        : nullptr;
  if (env) {
    debug_spew("Overriding variable '%s' from environment\n", name.c_str());
    return std::string(env);
  }
  if (auto it = global_variables.find(name); it != global_variables.end()) return it->second;
  if (auto it = record.variables.find(name); it != record.variables.end()) return it->second;
  return std::nullopt;
}

std::string expand_variables(const PackageRecord& record, std::string_view text, const char* path) {
  const std::string trimmed = trim_string(text);
  std::string out;
  out.reserve(trimmed.size());
  size_t i = 0;
  while (i < trimmed.size()) {
    const char c = trimmed[i];
    if (c == '$' && i + 1 < trimmed.size() && trimmed[i + 1] == '$') {
      out.push_back('$');
      i += 2;
    } else if (c == '$' && i + 1 < trimmed.size() && trimmed[i + 1] == '{') {
      const size_t name_start = i + 2;
      size_t close = trimmed.find('}', name_start);
      if (close == std::string::npos) close = trimmed.size();
      const std::string name = trimmed.substr(name_start, close - name_start);
      if (auto value = resolve_variable(record, name)) {
        out.append(*value);
      } else {
        verbose_error("Variable '%s' not defined in '%s'\n", name.c_str(), path);
        end_on_parse_error();
      }
      i = close + 1;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

std::optional<std::string> variable_for_output(const PackageRecord& record,
                                               const std::string& name) {
  std::optional<std::string> value = resolve_variable(record, name);
  if (!value || value->empty() || ((*value)[0] != '"' && (*value)[0] != '\'')) return value;
  GError* error = nullptr;
  char* unquoted = g_shell_unquote(value->c_str(), &error);
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
