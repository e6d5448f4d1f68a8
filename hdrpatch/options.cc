// Keyword tables, ABI version conversion, and the usage and version texts.
#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "hdrpatch/hdrpatch.h"
#include "support/alloc.h"
#include "support/concat.h"

EditSettings edit_settings;

namespace {

struct Keyword {
  const char* name;
  int value;
};

constexpr Keyword kMachines[] = {{"i386", 3},    {"iamcu", 6},   {"l1om", 180}, {"k1om", 181},
                                 {"x86_64", 62}, {"x86-64", 62}, {"none", 0}};
constexpr Keyword kTypes[] = {{"rel", 1}, {"exec", 2}, {"dyn", 3}, {"none", 0}};

int find_keyword(const Keyword* table, size_t count, const char* text) {
  for (size_t i = 0; i < count; ++i)
    if (strcasecmp(table[i].name, text) == 0) return table[i].value;
  return -1;
}

}  // namespace

// The OS ABI keywords, in the order they are searched and listed.
constexpr Keyword OSABI_KEYWORDS[] = {
    {"none", 0},     {"HPUX", 1}, {"NetBSD", 2},  {"Tarn", 3},     {"Linux", 3},    {"Solaris", 6},
    {"AIX", 7},      {"Irix", 8}, {"FreeBSD", 9}, {"TRU64", 10},   {"Modesto", 11}, {"OpenBSD", 12},
    {"OpenVMS", 13}, {"NSK", 14}, {"AROS", 15},   {"FenixOS", 16},
};

int parse_machine_keyword(const char* text) {
  const int value = find_keyword(kMachines, std::size(kMachines), text);
  if (value < 0) report_error(_("Unknown machine type: %s\n"), text);
  return value;
}

int parse_type_keyword(const char* text) {
  const int value = find_keyword(kTypes, std::size(kTypes), text);
  if (value < 0) report_error(_("Unknown type: %s\n"), text);
  return value;
}

int parse_osabi_keyword(const char* text) {
  const int value = find_keyword(OSABI_KEYWORDS, std::size(OSABI_KEYWORDS), text);
  if (value < 0) report_error(_("Unknown OSABI: %s\n"), text);
  return value;
}

int class_for_machine(int machine) {
  switch (machine) {
    case 3:
    case 6:
      return 1;
    case 180:
    case 181:
      return 2;
    default:
      return 3;
  }
}

int parse_abiversion(const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long value = strtoul(text, &end, 0);
  if (*end != '\0' || value > 255) {
    report_error(_("Invalid ABIVERSION: %s\n"), text);
    return -1;
  }
  return static_cast<int>(value);
}

void show_usage(FILE* stream, int status) {
  char* osabi = checked_strdup("none");
  for (size_t i = 1; i < std::size(OSABI_KEYWORDS); ++i)
    osabi = rejoin_strings(osabi, osabi, "|", OSABI_KEYWORDS[i].name, nullptr);

  fprintf(stream, _("Usage: %s <option(s)> elffile(s)\n"), kProgramName);
  fputs(_(" Update the ELF header of ELF files\n"), stream);
  fputs(_(" The options are:\n"), stream);
  fprintf(stream,
          _("  --input-mach [none|i386|iamcu|l1om|k1om|x86_64]\n"
            "                              Set input machine type\n"
            "  --output-mach [none|i386|iamcu|l1om|k1om|x86_64]\n"
            "                              Set output machine type\n"
            "  --input-type [none|rel|exec|dyn]\n"
            "                              Set input file type\n"
            "  --output-type [none|rel|exec|dyn]\n"
            "                              Set output file type\n"
            "  --input-osabi [%s]\n"
            "                              Set input OSABI\n"
            "  --output-osabi [%s]\n"
            "                              Set output OSABI\n"
            "  --input-abiversion [0-255]  Set input ABIVERSION\n"
            "  --output-abiversion [0-255] Set output ABIVERSION\n"),
          osabi, osabi);
  fprintf(stream,
          _("  -h --help                   Display this information\n"
            "  -v --version                Display the version number of %s\n"),
          kProgramName);
  if (status == 0) fprintf(stream, _("Report bugs to %s\n"), HDRPATCH_BUG_ADDRESS);
  free(osabi);
  exit(status);
}

void show_version() {
  printf("Tarn %s %s\n", kProgramName, "(Tarn Objkit) " HDRPATCH_RELEASE);
  printf(_("Copyright (C) %s %s\n"), HDRPATCH_COPYRIGHT_YEAR, "The Objkit developers");
  fputs(_("This program is free software; you may redistribute it under the terms of\n"
          "its copyleft licence, version 3 or (at your option) any later version.\n"
          "This program has absolutely no warranty.\n"),
        stdout);
  exit(0);
}
