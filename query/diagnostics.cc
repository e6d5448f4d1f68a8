#include <glib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "query/query.h"

PackageTable* package_table = nullptr;
uint32_t package_key_count = 0;
GlobalVariables global_variables;
SearchPath search_path;
LoaderSwitches loader_switches;
DiagnosticSwitches diagnostic_switches;

namespace {

void print_message(const char* function, int enabled, const char* format, va_list args) {
  if (format == nullptr) {
    g_return_if_fail_warning(nullptr, function, "format != NULL");
    return;
  }
  if (!enabled) return;
  char* message = g_strdup_vprintf(format, args);
  FILE* stream = diagnostic_switches.errors_to_stdout ? stdout : stderr;
  fputs(message, stream);
  fflush(stream);
  g_free(message);
}

}  // namespace

void(debug_spew)(const char* format, ...) {
  va_list args;
  va_start(args, format);
  print_message("debug_spew", diagnostic_switches.debug_enabled, format, args);
  va_end(args);
}

void verbose_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  print_message("verbose_error", diagnostic_switches.errors_enabled, format, args);
  va_end(args);
}

void end_on_parse_error() {
  // Strict parsing ends the run at the faulty line, deep inside the parser;
  // the fuzz targets replace the exit through query_exit_hook.
  if (loader_switches.fail_on_parse_error) query_exit(1);
}

void (*query_exit_hook)(int status) = nullptr;

void query_exit(int status) {
  if (query_exit_hook) query_exit_hook(status);
  exit(status);
}

std::string trim_string(std::string_view text) {
  return std::string(trim_view(text));
}
