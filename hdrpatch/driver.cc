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

// A keyword or number that could not be converted has been reported: end the run.
int require_valid(int value) {
  if (value < 0) exit(1);
  return value;
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
    switch (c) {
      case kInputMach:
        s.input_machine = require_valid(parse_machine_keyword(optarg));
        s.input_class = class_for_machine(s.input_machine);
        break;
      case kOutputMach:
        s.output_machine = require_valid(parse_machine_keyword(optarg));
        s.output_class = class_for_machine(s.output_machine);
        break;
      case kInputType:
        s.input_type = require_valid(parse_type_keyword(optarg));
        break;
      case kOutputType:
        s.output_type = require_valid(parse_type_keyword(optarg));
        break;
      case kInputOsabi:
        s.input_osabi = require_valid(parse_osabi_keyword(optarg));
        break;
      case kOutputOsabi:
        s.output_osabi = require_valid(parse_osabi_keyword(optarg));
        break;
      case kInputAbiversion:
        s.input_abiversion = require_valid(parse_abiversion(optarg));
        break;
      case kOutputAbiversion:
        s.output_abiversion = require_valid(parse_abiversion(optarg));
        break;
      case 'v':
        show_version();
      case 'h':
        show_usage(stdout, 0);
      default:
        show_usage(stderr, 1);
    }
  }

  if (optind == argc || (s.output_machine == -1 && s.output_type == -1 && s.output_osabi == -1 &&
                         s.output_abiversion == -1))
    show_usage(stderr, 1);

  int status = 0;
  for (int i = optind; i < argc; ++i) status |= edit_path(argv[i]);
  return status;
}
