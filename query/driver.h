// The mod-query program: environment, options, resolution, answer.
#pragma once

// Runs one query and returns the exit status.
int run_mod_query(int argc, char** argv);
