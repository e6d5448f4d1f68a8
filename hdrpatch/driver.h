// The hdrpatch program: options, then each file operand in turn.
#pragma once

int run_hdrpatch(int argc, char** argv);
int edit_path(const char* path);
