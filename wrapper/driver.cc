#include "wrapper/driver.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/alloc.h"
#include "support/concat.h"
#include "support/pipeline.h"
#include "wrapper/prefix_chain.h"
#include "wrapper/relocate.h"

namespace {

constexpr const char* kPluginName = "libwpo_plugin.so";
constexpr const char* kUsage = "Usage: yew-ar [-B prefix] ar arguments ...\n";

// Directories of this installation; they live until the process ends.
char* suite_lib_dir;
char* suite_libexec_dir;
PrefixChain suite_dirs;
PrefixChain path_dirs;

}  // namespace

int run_wrapper(const WrapperPersonality& personality, int argc, char** argv) {
  // 1. The program path, or the one YEW_EXEC_PREFIX names.
  const char* program_path = argv[0];
  if (const char* exec_prefix = getenv("YEW_EXEC_PREFIX"))
    program_path = join_strings(exec_prefix, personality.name, nullptr);

  // 2. The suite's directories relative to this installation: the program
  // is found and its links resolved once, for both.
  char* resolved_program = resolve_program_path(program_path, true);
  suite_lib_dir = relocate_from_path(resolved_program, YEW_STD_BIN_DIR, YEW_STD_LIB_DIR);
  if (suite_lib_dir == nullptr) suite_lib_dir = const_cast<char*>(YEW_STD_LIB_DIR);
  suite_libexec_dir = relocate_from_path(resolved_program, YEW_STD_BIN_DIR, YEW_STD_LIBEXEC_DIR);
  if (suite_libexec_dir == nullptr) suite_libexec_dir = const_cast<char*>(YEW_STD_LIBEXEC_DIR);
  free(resolved_program);

  // 3. The target's own tools, at the installation root.
  prefix_chain_add_string(join_strings(suite_lib_dir, YEW_TARGET, "/", YEW_VERSION, "/",
                                       "../../../../", YEW_TARGET, "/", "bin", nullptr),
                          &suite_dirs);
  // 4. The versioned libexec directory.
  suite_libexec_dir = join_strings(suite_libexec_dir, YEW_TARGET, "/", YEW_VERSION, "/", nullptr);
  prefix_chain_add_string(suite_libexec_dir, &suite_dirs);
  // 5. PATH.
  prefix_chain_add_env("PATH", &path_dirs);

  // 6. The first "-B" option, searched from the program name on.
  for (int i = 0; i < argc; ++i) {
    if (strncmp(argv[i], "-B", 2) != 0) continue;
    const char* dir = argv[i] + 2;
    int removed = 1;
    if (*dir == '\0') {
      if (i + 1 >= argc) {
        fputs(kUsage, stderr);
        return 1;
      }
      dir = argv[i + 1];
      removed = 2;
    }
    const size_t length = strlen(dir);
    if (length >= 2 && dir[length - 1] != '/') dir = join_strings(dir, "/", nullptr);
    prefix_chain_prepend(&path_dirs, dir);
    prefix_chain_prepend(&suite_dirs, dir);
    memmove(argv + i, argv + i + removed,
            sizeof(char*) * static_cast<size_t>(argc - i - removed + 1));
    argc -= removed;
    break;
  }

  // 7. The plugin first, then the tool.
  const char* plugin = locate_on_prefixes(&suite_dirs, kPluginName, R_OK);
  if (plugin == nullptr) {
    fprintf(stderr, "%s: Cannot find plugin '%s'\n", argv[0], kPluginName);
    return 1;
  }
  const char* tool = locate_on_prefixes(&suite_dirs, personality.tool, X_OK);
  if (tool == nullptr) tool = locate_on_prefixes(&path_dirs, personality.tool, X_OK);
  if (tool == nullptr) {
    fprintf(stderr, "%s: Cannot find binary '%s'\n", argv[0], personality.tool);
    return 1;
  }

  // 8. The tool's arguments: the plugin pair in front of the user's own.
  auto** tool_argv =
      static_cast<char**>(checked_alloc_zeroed(static_cast<size_t>(argc) + 4, sizeof(char*)));
  int n = 0;
  tool_argv[n++] = const_cast<char*>(tool);
  tool_argv[n++] = const_cast<char*>("--plugin");
  tool_argv[n++] = const_cast<char*>(plugin);
  for (int i = 1; i < argc; ++i) {
    const bool needs_dash = personality.dash_rule && i == 1 && argv[i][0] != '-';
    tool_argv[n++] = needs_dash ? join_strings("-", argv[i], nullptr) : argv[i];
  }

  // 9. Run it with the wrapper's own streams.
  int status = 0, err = 0;
  const char* caller = join_strings("yew-", tool, nullptr);
  // The located file is the one to run: a path without "/" (from "-B ''" or
  // an empty PATH entry) names a file in the current directory, which a PATH
  // search would not find first.
  const char* executable = strchr(tool, '/') ? tool : join_strings("./", tool, nullptr);
  const char* errmsg = pex_run_single(PEX_FINAL_STAGE | PEX_USE_PATH, executable, tool_argv, caller,
                                      nullptr, nullptr, &status, &err);

  // 10. The tool's status becomes the wrapper's.
  if (errmsg != nullptr) {
    fprintf(stderr, "Error running %s: %s\n", tool, errmsg);
    return 1;
  }
  if (status == 0) return 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    fprintf(stderr, "%s terminated with signal %d [%s]%s\n", tool, WTERMSIG(status),
            strsignal(WTERMSIG(status)), WCOREDUMP(status) ? ", core dumped" : "");
    return 1;
  }
  return 1;
}
