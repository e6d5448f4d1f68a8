#include "query/driver.h"
#include "support/alloc.h"
#include "support/std_streams.h"

int main(int argc, char** argv) {
  if (!ensure_standard_fds()) return 1;
  route_new_failures_to_report();
  const int status = run_mod_query(argc, argv);
  if (!finish_standard_output("mod-query")) return 1;
  return status;
}
