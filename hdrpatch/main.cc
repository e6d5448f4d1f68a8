#include "hdrpatch/driver.h"
#include "hdrpatch/hdrpatch.h"
#include "support/alloc.h"
#include "support/std_streams.h"

int main(int argc, char** argv) {
  if (!ensure_standard_fds()) return 1;
  route_new_failures_to_report();
  // --help and --version end the process where they print.
  check_standard_output_at_exit(kProgramName);
  return run_hdrpatch(argc, argv);
}
