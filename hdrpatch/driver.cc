#include "hdrpatch/driver.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "hdrpatch/archive.h"
#include "hdrpatch/edit_file.h"
#include "hdrpatch/elf_header.h"
#include "hdrpatch/hdrpatch.h"
#include "hdrpatch/response_files.h"
#include "support/install_dirs.h"

namespace {

enum Option {
  kInputMach = 256,
  kOutputMach,
  kInputType,
  kOutputType,
  kInputOsabi,
  kOutputOsabi,
  kInputAbiversion,
  kOutputAbiversion,
};

const struct option kOptions[] = {
    {"input-mach", required_argument, nullptr, kInputMach},
    {"output-mach", required_argument, nullptr, kOutputMach},
    {"input-type", required_argument, nullptr, kInputType},
    {"output-type", required_argument, nullptr, kOutputType},
    {"input-osabi", required_argument, nullptr, kInputOsabi},
    {"output-osabi", required_argument, nullptr, kOutputOsabi},
    {"input-abiversion", required_argument, nullptr, kInputAbiversion},
    {"output-abiversion", required_argument, nullptr, kOutputAbiversion},
    {"version", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// The options that take a keyword or a number: how the value is read, the
// setting it goes to, and for a machine the class that follows from it.
struct ValueOption {
  int code;
  int (*parse)(const char* text);  // negative after reporting a bad value
  int EditSettings::*setting;
  int EditSettings::*elf_class;
};

constexpr ValueOption kValueOptions[] = {
    {kInputMach, parse_machine_keyword, &EditSettings::input_machine, &EditSettings::input_class},
    {kOutputMach, parse_machine_keyword, &EditSettings::output_machine,
     &EditSettings::output_class},
    {kInputType, parse_type_keyword, &EditSettings::input_type, nullptr},
    {kOutputType, parse_type_keyword, &EditSettings::output_type, nullptr},
    {kInputOsabi, parse_osabi_keyword, &EditSettings::input_osabi, nullptr},
    {kOutputOsabi, parse_osabi_keyword, &EditSettings::output_osabi, nullptr},
    {kInputAbiversion, parse_abiversion, &EditSettings::input_abiversion, nullptr},
    {kOutputAbiversion, parse_abiversion, &EditSettings::output_abiversion, nullptr},
};

const ValueOption* find_value_option(int code) {
  for (const ValueOption& option : kValueOptions)
    if (option.code == code) return &option;
  return nullptr;
}

}  // namespace

int edit_path(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) {
    if (errno == ENOENT)
      report_error(_("'%s': No such file\n"), path);
    else
      report_error(_("Could not locate '%s'.  System error message: %s\n"), path, strerror(errno));
    return 1;
  }
  if (!S_ISREG(st.st_mode)) {
    report_error(_("'%s' is not an ordinary file\n"), path);
    return 1;
  }
  const EditFileOwner file(edit_file_open(path));
  if (!file) {
    report_error(_("Input file '%s' is not readable\n"), path);
    return 1;
  }
  char magic[8];
  if (edit_file_read(file.get(), magic, sizeof magic) != sizeof magic) {
    report_error(_("%s: Failed to read file's magic number\n"), path);
    return 1;
  }
  if (memcmp(magic, "!<arch>\n", 8) == 0) return edit_archive(path, file.get(), false);
  if (memcmp(magic, "!<thin>\n", 8) == 0) return edit_archive(path, file.get(), true);
  edit_file_seek(file.get(), 0);
  return edit_header(path, file.get(), static_cast<uint64_t>(st.st_size));
}

int run_hdrpatch(int argc, char** argv) {
  setlocale(LC_MESSAGES, "");
  setlocale(LC_CTYPE, "");
  bindtextdomain("objkit",
                 installed_folder(HDRPATCH_LOCALEDIR_FROM_BIN, HDRPATCH_LOCALEDIR).c_str());
  textdomain("objkit");

  expand_response_files(&argc, &argv);

  EditSettings& s = edit_settings;
  int c;
  while ((c = getopt_long(argc, argv, "hv", kOptions, nullptr)) != -1) {
    if (const ValueOption* option = find_value_option(c)) {
      const int value = option->parse(optarg);
      if (value < 0) return 1;  // the parser has reported it
      s.*(option->setting) = value;
      if (option->elf_class) s.*(option->elf_class) = class_for_machine(value);
      continue;
    }
    // Help and version end the run where they print, as usage errors do.
    if (c == 'v') show_version();
    show_usage(c == 'h' ? stdout : stderr, c == 'h' ? 0 : 1);
  }

  if (optind == argc || (s.output_machine == -1 && s.output_type == -1 && s.output_osabi == -1 &&
                         s.output_abiversion == -1))
    show_usage(stderr, 1);

  int status = 0;
  for (int i = optind; i < argc; ++i) status |= edit_path(argv[i]);
  return status;
}
