// The standard streams of a program: open before anything else is, and
// checked at the end, so that a closed descriptor never becomes a file the
// program edits and lost output never passes for success.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. The
// replacement is opened for the opposite direction, so using it fails as the
// closed descriptor would have (EBADF) instead of silently discarding output.
// False when a descriptor could not be filled; the caller must not go on.
bool ensure_standard_fds();

// Flushes standard output and checks that everything written to it arrived.
// On failure prints "PROGRAM: write error: TEXT" on standard error and
// returns false.
bool finish_standard_output(const char* program);

// Registers finish_standard_output for exit(): a failure there turns the exit
// status into 1. For programs that end from several places.
void check_standard_output_at_exit(const char* program);
