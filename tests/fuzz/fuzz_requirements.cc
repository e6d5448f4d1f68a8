// Requirement lists and version comparison.
#include <cstddef>
#include <cstdint>
#include <string>

#include "query/query.h"
#include "query/requirements.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  loader_switches.fail_on_parse_error = false;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TextStore texts;
  for (const VersionRequirement& r : parse_module_list(nullptr, text, "fuzz", &texts)) {
    if (r.name.empty()) __builtin_trap();
    if (r.comparison != VersionOp::Any && !r.bound) __builtin_trap();
  }
  // Comparison must be a consistent order: antisymmetric and reflexive.
  const size_t half = size / 2;
  const std::string_view a = text.substr(0, half), b = text.substr(half);
  const int ab = compare_versions_text(a, b), ba = compare_versions_text(b, a);
  if (ab != -ba || ab < -1 || ab > 1) __builtin_trap();
  if (compare_versions_text(a, a) != 0) __builtin_trap();
  if (version_test(VersionOp::GreaterEqual, std::string(a), std::string(b)) != (ab >= 0))
    __builtin_trap();
  return 0;
}
