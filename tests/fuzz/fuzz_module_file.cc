// Module file reader: bytes to a PackageRecord, in strict and in listing mode,
// with variable expansion and flag classification on the way.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "query/module_file.h"
#include "query/query.h"
#include "query/variables.h"

namespace {

struct StrictExit {};

[[noreturn]] void throw_exit(int) {
  throw StrictExit();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  query_exit_hook = throw_exit;
  // The first byte picks the switches, as the driver would set them.
  const uint8_t mode = data[0];
  loader_switches = LoaderSwitches();
  loader_switches.fail_on_parse_error = (mode & 1) == 0;  // listing mode drops bad lines
  loader_switches.define_prefix = (mode & 2) != 0;
  loader_switches.skip_requires = (mode & 4) != 0;
  loader_switches.skip_requires_private = (mode & 8) != 0;
  loader_switches.skip_libs_private = (mode & 16) != 0;
  global_variables.clear();
  global_variables.emplace("mq_sysrootdir", "/");
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    PackageRecord* record = parse_module_text(
        "fuzz", "/opt/x/lib/modquery/fuzz.mq", text, loader_switches.skip_requires,
        loader_switches.skip_libs_private, loader_switches.skip_requires_private);
    for (const FlagItem& item : record->compile_flags)
      if (item.flag_class != CFLAGS_I && item.flag_class != CFLAGS_OTHER) __builtin_trap();
    for (const FlagItem& item : record->link_flags)
      if (item.flag_class != LIBS_l && item.flag_class != LIBS_L && item.flag_class != LIBS_OTHER)
        __builtin_trap();
    if (record->variables.count("mqfiledir") == 0) __builtin_trap();
    delete record;
  } catch (const StrictExit&) {
    // A strict error ends the program with status 1: a normal outcome.
  }
  return 0;
}
