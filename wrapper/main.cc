#include "support/std_streams.h"
#include "wrapper/driver.h"

int main(int argc, char** argv) {
  // The tool inherits these descriptors: none of them may be a file it opens.
  if (!ensure_standard_fds()) return 1;
  static const WrapperPersonality personality = {YEW_PERSONALITY, YEW_TOOL, YEW_DASH_RULE};
  return run_wrapper(personality, argc, argv);
}
