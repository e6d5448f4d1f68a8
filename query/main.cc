#include <sys/resource.h>

#include "query/driver.h"

int main(int argc, char** argv) {
  // Lookups recurse once per level of a requirement chain, and chains can be
  // thousands of modules deep: let the main stack grow further than usual.
  struct rlimit stack;
  constexpr rlim_t kWanted = rlim_t{256} << 20;
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
      stack.rlim_cur < kWanted) {
    stack.rlim_cur =
        stack.rlim_max == RLIM_INFINITY || stack.rlim_max > kWanted ? kWanted : stack.rlim_max;
    setrlimit(RLIMIT_STACK, &stack);
  }
  return run_mod_query(argc, argv);
}
