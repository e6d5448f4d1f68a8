#include "query/driver.h"

int main(int argc, char** argv) { return run_mod_query(argc, argv); }
