// ${NAME} expansion against module variables and globals.
#include <cstddef>
#include <cstdint>
#include <string>

#include "query/query.h"
#include "query/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  loader_switches.fail_on_parse_error = false;
  static PackageRecord record = [] {
    PackageRecord r;
    r.module_key = "fuzz";
    r.variables = {{"prefix", "/usr"}, {"", "empty"}, {"q", "\"a b\""}, {"dollar", "${prefix}"}};
    return r;
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string expanded = expand_variables(record, text, "fuzz");
  // Text without "$" comes back trimmed but otherwise unchanged.
  if (text.find('$') == std::string_view::npos && expanded != trim_string(text)) __builtin_trap();
  variable_for_output(record, std::string(text.substr(0, 8)));
  return 0;
}
