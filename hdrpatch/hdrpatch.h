// Shared settings and diagnostics of the ELF header editor.
#pragma once
#include <libintl.h>

#include <cstdint>
#include <cstdio>

// Texts are looked up in the "objkit" message catalogue first.
#define _(text) gettext(text)
#define N_(text) text

inline constexpr const char* kProgramName = "hdrpatch";

// Expected (input) and requested (output) header values; -1 = not given.
struct EditSettings {
  int input_machine = -1;
  int input_class = -1;  // -1 until known; 3 = any class
  int input_type = -1;
  int input_osabi = -1;
  int input_abiversion = -1;
  int output_machine = -1;
  int output_class = 3;  // 3 = any class
  int output_type = -1;
  int output_osabi = -1;
  int output_abiversion = -1;
};

extern EditSettings edit_settings;

void report_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report_warning(const char* format, ...) __attribute__((format(printf, 1, 2)));

int parse_machine_keyword(const char* text);
int parse_type_keyword(const char* text);
int parse_osabi_keyword(const char* text);
int class_for_machine(int machine);
// An ABI version argument (0 to 255, any base strtoul takes); -1 when invalid.
int parse_abiversion(const char* text);

[[noreturn]] void show_usage(FILE* stream, int status);
[[noreturn]] void show_version();
