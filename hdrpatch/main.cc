#include "hdrpatch/driver.h"

int main(int argc, char** argv) {
  return run_hdrpatch(argc, argv);
}
