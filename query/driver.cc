#include "query/driver.h"

#include <glib.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "query/answers.h"
#include "query/listing.h"
#include "query/lookup.h"
#include "query/query.h"
#include "query/requirements.h"
#include "query/settings.h"
#include "query/target_profile.h"
#include "query/variables.h"

QuerySettings query_settings;

namespace {

char* min_tool_version_arg = nullptr;
char* prefix_variable_arg = nullptr;

// What each output option records. An option sets flag classes, a switch,
// or a value; the three version options also turn the query into --exists.
struct OutputOption {
  const char* name;
  uint8_t flag_classes;
  bool QuerySettings::*sets;
  std::optional<std::string> QuerySettings::*records;
  bool version_bound;
};

constexpr OutputOption kOutputOptions[] = {
    {"--libs", LIBS_l | LIBS_L | LIBS_OTHER, nullptr, nullptr, false},
    {"--libs-only-l", LIBS_l, nullptr, nullptr, false},
    {"--libs-only-other", LIBS_OTHER, nullptr, nullptr, false},
    {"--libs-only-L", LIBS_L, nullptr, nullptr, false},
    {"--cflags", CFLAGS_I | CFLAGS_OTHER, nullptr, nullptr, false},
    {"--cflags-only-I", CFLAGS_I, nullptr, nullptr, false},
    {"--cflags-only-other", CFLAGS_OTHER, nullptr, nullptr, false},
    {"--variable", 0, nullptr, &QuerySettings::variable_query, false},
    {"--atleast-version", 0, nullptr, &QuerySettings::atleast_bound, true},
    {"--exact-version", 0, nullptr, &QuerySettings::exact_bound, true},
    {"--max-version", 0, nullptr, &QuerySettings::max_bound, true},
    {"--version", 0, &QuerySettings::tool_version_query, nullptr, false},
    {"--modversion", 0, &QuerySettings::modversion_query, nullptr, false},
    {"--exists", 0, &QuerySettings::exists_query, nullptr, false},
    {"--print-variables", 0, &QuerySettings::print_variables, nullptr, false},
    {"--uninstalled", 0, &QuerySettings::uninstalled_query, nullptr, false},
    {"--list-all", 0, &QuerySettings::list_all, nullptr, false},
    {"--print-provides", 0, &QuerySettings::print_provides, nullptr, false},
    {"--print-requires", 0, &QuerySettings::print_requires, nullptr, false},
    {"--print-requires-private", 0, &QuerySettings::print_requires_private, nullptr, false},
    {"--validate", 0, &QuerySettings::validate_query, nullptr, false},
};

const OutputOption* find_output_option(const char* name) {
  for (const OutputOption& option : kOutputOptions)
    if (strcmp(name, option.name) == 0) return &option;
  return nullptr;
}

// After a first output option, only these may follow: more flag options,
// the other requirement listing, or one version option after --exists.
bool combines_with_earlier(const OutputOption& option) {
  const QuerySettings& q = query_settings;
  return (option.flag_classes != 0 && q.flag_mask != 0) ||
         (strcmp(option.name, "--print-requires-private") == 0 && q.print_requires) ||
         (strcmp(option.name, "--print-requires") == 0 && q.print_requires_private) ||
         (option.version_bound && q.exists_query && !q.version_option_given);
}

gboolean select_output_option(const char* name, const char* value, gpointer, GError**) {
  QuerySettings& q = query_settings;
  const OutputOption* option = find_output_option(name);
  if (option == nullptr) return TRUE;  // only the table's options are registered here
  if (q.output_option_given && !combines_with_earlier(*option)) {
    fprintf(stderr, "Ignoring incompatible output option \"%s\"\n", name);
    fflush(stderr);
    return TRUE;
  }
  q.flag_mask |= option->flag_classes;
  if (option->sets) q.*(option->sets) = true;
  if (option->records) q.*(option->records) = value;
  if (option->version_bound) {
    q.exists_query = true;
    q.version_option_given = true;
  }
  q.output_option_given = true;
  return TRUE;
}

gboolean parse_define_variable(const char*, const char* value, gpointer, GError**) {
  std::string name, text;
  if (!split_define_argument(value ? value : "", &name, &text)) {
    fputs("--define-variable argument does not have a value for the variable\n", stderr);
    fflush(stderr);
    // A failed callback would make the option parser print a message of its
    // own: the run ends here.
    query_exit(1);
  }
  set_global_variable(name, text);
  return TRUE;
}

#define OUTPUT_OPTION(name, description)                                                  \
  {                                                                                       \
    name, 0, G_OPTION_FLAG_NO_ARG, G_OPTION_ARG_CALLBACK, (gpointer)select_output_option, \
        description, nullptr                                                              \
  }
#define OUTPUT_OPTION_VALUE(name, description, value_name) \
  { name, 0, 0, G_OPTION_ARG_CALLBACK, (gpointer)select_output_option, description, value_name }

const GOptionEntry kOptions[] = {
    OUTPUT_OPTION("version", "output version of mod-query"),
    OUTPUT_OPTION("modversion", "output version for package"),
    {"atleast-modquery-version", 0, 0, G_OPTION_ARG_STRING, &min_tool_version_arg,
     "require given version of mod-query", "VERSION"},
    OUTPUT_OPTION("libs", "output all linker flags"),
    {"static", 0, 0, G_OPTION_ARG_NONE, &query_settings.static_linking,
     "output linker flags for static linking", nullptr},
    {"short-errors", 0, 0, G_OPTION_ARG_NONE, &query_settings.short_errors, "print short errors",
     nullptr},
    OUTPUT_OPTION("libs-only-l", "output -l flags"),
    OUTPUT_OPTION("libs-only-other", "output other libs (e.g. -pthread)"),
    OUTPUT_OPTION("libs-only-L", "output -L flags"),
    OUTPUT_OPTION("cflags", "output all pre-processor and compiler flags"),
    OUTPUT_OPTION("cflags-only-I", "output -I flags"),
    OUTPUT_OPTION("cflags-only-other", "output cflags not covered by the cflags-only-I option"),
    OUTPUT_OPTION_VALUE("variable", "get the value of variable named NAME", "NAME"),
    {"define-variable", 0, 0, G_OPTION_ARG_CALLBACK, (gpointer)parse_define_variable,
     "set variable NAME to VALUE", "NAME=VALUE"},
    OUTPUT_OPTION("exists", "return 0 if the module(s) exist"),
    OUTPUT_OPTION("print-variables", "output list of variables defined by the module"),
    OUTPUT_OPTION("uninstalled",
                  "return 0 if the uninstalled version of one or more module(s) or their "
                  "dependencies will be used"),
    OUTPUT_OPTION_VALUE("atleast-version", "return 0 if the module is at least version VERSION",
                        "VERSION"),
    OUTPUT_OPTION_VALUE("exact-version", "return 0 if the module is at exactly version VERSION",
                        "VERSION"),
    OUTPUT_OPTION_VALUE("max-version", "return 0 if the module is at no newer than version VERSION",
                        "VERSION"),
    OUTPUT_OPTION("list-all", "list all known packages"),
    {"debug", 0, 0, G_OPTION_ARG_NONE, &diagnostic_switches.debug_enabled,
     "show verbose debug information", nullptr},
    {"print-errors", 0, 0, G_OPTION_ARG_NONE, &diagnostic_switches.errors_enabled,
     "show verbose information about missing or conflicting packages (default unless --exists or "
     "--atleast/exact/max-version given on the command line)",
     nullptr},
    {"silence-errors", 0, 0, G_OPTION_ARG_NONE, &query_settings.silence_errors,
     "be silent about errors (default when --exists or --atleast/exact/max-version given on the "
     "command line)",
     nullptr},
    {"errors-to-stdout", 0, 0, G_OPTION_ARG_NONE, &diagnostic_switches.errors_to_stdout,
     "print errors from --print-errors to stdout not stderr", nullptr},
    OUTPUT_OPTION("print-provides", "print which packages the package provides"),
    OUTPUT_OPTION("print-requires", "print which packages the package requires"),
    OUTPUT_OPTION("print-requires-private",
                  "print which packages the package requires for static linking"),
    OUTPUT_OPTION("validate", "validate a package's .mq file"),
    {"define-prefix", 0, 0, G_OPTION_ARG_NONE, &loader_switches.define_prefix,
     "try to override the value of prefix for each .mq file found with a guesstimated value based "
     "on the "
     "location of the .mq file",
     nullptr},
    {"dont-define-prefix", 0, G_OPTION_FLAG_REVERSE, G_OPTION_ARG_NONE,
     &loader_switches.define_prefix,
     "don't try to override the value of prefix for each .mq file found with a guesstimated value "
     "based on the "
     "location of the .mq file",
     nullptr},
    {"prefix-variable", 0, 0, G_OPTION_ARG_STRING, &prefix_variable_arg,
     "set the name of the variable that mod-query automatically sets", "PREFIX"},
    {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
};

void decide_error_printing(bool debug_spew_env) {
  QuerySettings& q = query_settings;
  if (!q.output_option_given) {
    debug_spew("no output option set, defaulting to --exists\n");
    q.exists_query = true;
  }
  if (q.exists_query || q.list_all) {
    debug_spew(
        "Error printing disabled by default due to use of output options --exists, "
        "--atleast/exact/max-version, "
        "--list-all or no output option at all. Value of --print-errors: %d\n",
        diagnostic_switches.errors_enabled ? 1 : 0);
  } else {
    debug_spew(
        "Error printing enabled by default due to use of output options besides --exists, "
        "--atleast/exact/max-version or --list-all. Value of --silence-errors: %d\n",
        q.silence_errors ? 1 : 0);
    diagnostic_switches.errors_enabled = !(q.silence_errors && !debug_spew_env);
  }
  debug_spew(diagnostic_switches.errors_enabled ? "Error printing enabled\n"
                                                : "Error printing disabled\n");
}

void decide_loader_switches() {
  const QuerySettings& q = query_settings;
  LoaderSwitches& s = loader_switches;
  s.skip_libs_private = !q.static_linking;
  if ((q.flag_mask & (CFLAGS_I | CFLAGS_OTHER)) || q.print_requires_private || q.exists_query ||
      (q.static_linking && (q.flag_mask & LIBS_ANY)))
    s.skip_requires_private = false;
  if (q.flag_mask == 0 && !q.exists_query && !q.print_requires) s.skip_requires = true;
  if (q.list_all) s.fail_on_parse_error = false;
  // A listing prints no flags; unless errors or traces are shown, reading
  // the flag lines changes nothing the user sees.
  s.skip_flags =
      q.list_all && !diagnostic_switches.errors_enabled && !diagnostic_switches.debug_enabled;
  if (prefix_variable_arg) s.prefix_variable = prefix_variable_arg;
}

// The log is a record the user asked for: losing it is a failure.
bool close_log(FILE* log, const char* name) {
  const bool written = !ferror(log);
  const int error = errno;
  if (fclose(log) == 0 && written) return true;
  fprintf(stderr, "mod-query: error writing log file %s: %s\n", name,
          g_strerror(written ? errno : error));
  fflush(stderr);
  return false;
}

// Reads the profile of the target the run is for, if any, and makes its
// values the defaults. False after printing why when a target was named and
// its profile cannot be used: answering for the build machine instead would
// be silently wrong.
bool apply_target_profile(const char* program_name, std::optional<TargetProfile>* profile) {
  const std::optional<std::string> triplet =
      requested_target(program_name, getenv("MOD_QUERY_TARGET"));
  if (!triplet) return true;
  TargetProfile read;
  std::string error;
  if (!load_target_profile(*triplet, target_profile_folder(), &read, &error)) {
    fputs(error.c_str(), stderr);
    fflush(stderr);
    return false;
  }
  *profile = std::move(read);
  QuerySettings& q = query_settings;
  if ((*profile)->search_path) q.builtin_search_dirs = (*profile)->search_path->c_str();
  if ((*profile)->system_include_path)
    q.system_include_path = (*profile)->system_include_path->c_str();
  if ((*profile)->system_library_path)
    q.system_library_path = (*profile)->system_library_path->c_str();
  return true;
}

// MOD_QUERY_DEBUG_SPEW turns tracing and error printing on before anything
// else happens; true when it is set.
bool enable_debug_from_environment() {
  if (getenv("MOD_QUERY_DEBUG_SPEW") == nullptr) return false;
  diagnostic_switches.debug_enabled = true;
  diagnostic_switches.errors_enabled = true;
  query_settings.silence_errors = false;
  debug_spew("MOD_QUERY_DEBUG_SPEW variable enabling debug spew\n");
  return true;
}

// The search path, sysroot, built-in globals and uninstalled preference,
// from the environment over the profile's or the built-in defaults.
void read_environment(const std::optional<TargetProfile>& profile) {
  QuerySettings& q = query_settings;
  if (const char* path = getenv("MOD_QUERY_PATH")) append_search_dirs(path, ':');
  const char* libdir = getenv("MOD_QUERY_LIBDIR");
  append_search_dirs(libdir ? libdir : q.builtin_search_dirs, ':');

  if (const char* sysroot = getenv("MOD_QUERY_SYSROOT_DIR"))
    q.sysroot_dir = sysroot;
  else if (profile && profile->sysroot)
    q.sysroot_dir = *profile->sysroot;
  set_global_variable("mq_sysrootdir", q.sysroot_dir ? *q.sysroot_dir : "/");
  const char* top_builddir = getenv("MOD_QUERY_TOP_BUILD_DIR");
  set_global_variable("mq_top_builddir", top_builddir ? top_builddir : "$(top_builddir)");

  if (getenv("MOD_QUERY_DISABLE_UNINSTALLED")) {
    debug_spew("disabling auto-preference for uninstalled packages\n");
    loader_switches.prefer_uninstalled = false;
  }
}

// Parses the options into the settings, leaving the module names in argv.
// False after printing the parser's message.
bool parse_options(int* argc, char*** argv) {
  GOptionContext* context = g_option_context_new(nullptr);
  g_option_context_add_main_entries(context, kOptions, nullptr);
  GError* error = nullptr;
  if (!g_option_context_parse(context, argc, argv, &error)) {
    fprintf(stderr, "%s\n", error->message);
    return false;
  }
  g_option_context_free(context);
  if (min_tool_version_arg) query_settings.min_tool_version = min_tool_version_arg;
  return true;
}

// The module list: every remaining argument, joined with spaces.
std::string module_list_text(int argc, char** argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) joined.append(argv[i]).push_back(' ');
  return trim_string(joined);
}

enum class Resolution { AllFound, SomeMissing, FailedCheck };

// Looks up each requested module, applies the version options to its entry,
// logs it, and collects the modules that satisfy their entries. Each missing
// module or wrong version is reported as it is met; a failed check while
// loading stops at once.
Resolution resolve_requested_modules(std::vector<VersionRequirement>* entries, FILE* log,
                                     std::vector<PackageRecord*>* resolved) {
  const QuerySettings& q = query_settings;
  bool all_found = true;
  for (VersionRequirement& entry : *entries) {
    if (q.exact_bound) {
      entry.comparison = VersionOp::Equal;
      entry.bound = Text::borrow(*q.exact_bound);
    } else if (q.atleast_bound) {
      entry.comparison = VersionOp::GreaterEqual;
      entry.bound = Text::borrow(*q.atleast_bound);
    } else if (q.max_bound) {
      entry.comparison = VersionOp::LessEqual;
      entry.bound = Text::borrow(*q.max_bound);
    }
    const LoadResult found =
        q.short_errors ? lookup_module_quiet(entry.name) : lookup_module(entry.name);
    if (found.failed_check) return Resolution::FailedCheck;
    PackageRecord* module = found.module;
    if (log) {
      if (module == nullptr)
        fprintf(log, "%s NOT-FOUND\n", entry.name.c_str());
      else
        fprintf(log, "%s %s %s\n", entry.name.c_str(), comparison_to_str(entry.comparison),
                entry.bound ? entry.bound->c_str() : "(null)");
    }
    if (module == nullptr) {
      verbose_error("No package '%s' found\n", entry.name.c_str());
      all_found = false;
      continue;
    }
    const Text version = module->version_text.value_or(Text());
    if (version_test(entry.comparison, version, entry.bound)) {
      resolved->push_back(module);
      continue;
    }
    const char* shown_name = module->display_name ? module->display_name->c_str() : "(null)";
    verbose_error("Requested '%s %s %s' but version of %s is %s\n", entry.name.c_str(),
                  comparison_to_str(entry.comparison),
                  entry.bound ? entry.bound->c_str() : "(null)", shown_name, version.c_str());
    if (module->home_url)
      verbose_error("You may find new versions of %s at %s\n", shown_name,
                    module->home_url->c_str());
    all_found = false;
  }
  return all_found ? Resolution::AllFound : Resolution::SomeMissing;
}

}  // namespace

int run_mod_query(int argc, char** argv) {
  QuerySettings& q = query_settings;
  setlocale(LC_CTYPE, "");
  setlocale(LC_MESSAGES, "");

  // The environment and a target profile, before the options are parsed.
  const bool debug_spew_env = enable_debug_from_environment();
  std::optional<TargetProfile> profile;
  if (!apply_target_profile(argc > 0 ? argv[0] : nullptr, &profile)) return 1;
  read_environment(profile);

  if (!parse_options(&argc, &argv)) return 1;
  decide_error_printing(debug_spew_env);
  decide_loader_switches();
  // After option parsing, so that --debug shows it too.
  if (profile) trace_target_profile(*profile);

  // Questions that need no module.
  if (q.tool_version_query) {
    printf("%s\n", kModQueryVersion);
    return 0;
  }
  if (q.min_tool_version)
    return compare_versions_text(kModQueryVersion, *q.min_tool_version) < 0 ? 1 : 0;

  // Modules are read from here on: their variables may be overridden.
  take_override_snapshot();
  // A failed check ends the run with the log and answers as they stand.
  if (!init_package_table(q.list_all)) return 1;
  if (q.list_all) {
    print_module_listing();
    return 0;
  }

  const std::string module_text = module_list_text(argc, argv);
  FILE* log = nullptr;
  if (const char* log_name = getenv("MOD_QUERY_LOG")) {
    log = fopen(log_name, "a");
    if (log == nullptr) {
      fprintf(stderr, "Cannot open log file: %s\n", log_name);
      return 1;
    }
  }
  TextStore entry_texts;
  std::vector<VersionRequirement> entries =
      parse_module_list(nullptr, module_text, "(command line arguments)", &entry_texts);
  if (entries.empty()) {
    fputs("Must specify package names on the command line\n", stderr);
    fflush(stderr);
    return 1;
  }

  std::vector<PackageRecord*> resolved;
  const Resolution resolution = resolve_requested_modules(&entries, log, &resolved);
  if (resolution == Resolution::FailedCheck) return 1;
  if (log && !close_log(log, getenv("MOD_QUERY_LOG"))) return 1;
  if (resolution == Resolution::SomeMissing) return 1;
  return answer_query(resolved);
}
