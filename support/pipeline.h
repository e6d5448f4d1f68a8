// Running child programs, alone or in pipelines, with redirections.
#pragma once
#include <cstdint>
#include <cstdio>

// Pipeline flags.
enum : int {
  PEX_TRACK_USAGE = 0x1,
  PEX_PIPE_STAGES = 0x2,
  PEX_KEEP_TEMPS = 0x4,
};

// Run flags, per program.
enum : int {
  PEX_FINAL_STAGE = 0x001,
  PEX_USE_PATH = 0x002,
  PEX_NAME_IS_SUFFIX = 0x004,
  PEX_MERGE_STDERR = 0x008,
  PEX_RAW_INPUT = 0x010,
  PEX_RAW_OUTPUT = 0x020,
  PEX_STDERR_TO_PIPE = 0x040,
  PEX_RAW_ERRORS = 0x080,
  PEX_APPEND_OUTPUT = 0x100,
  PEX_APPEND_ERRORS = 0x200,
};

struct UsageTimes {
  uint32_t cpu_user_s;
  uint32_t cpu_user_us;
  uint32_t cpu_sys_s;
  uint32_t cpu_sys_us;
};

struct PipelineBackend;

struct ProcessPipeline {
  int mode_flags;
  const char* caller_name;
  const char* scratch_base;
  int pending_input_fd;
  char* pending_input_path;
  int pending_input_path_owned;
  int error_pipe_fd;
  int program_count;
  int* pids;
  int* exit_statuses;
  UsageTimes* usages;
  int waited_count;
  FILE* input_stream;
  FILE* output_stream;
  FILE* error_stream;
  int cleanup_count;
  char** cleanup_paths;
  const PipelineBackend* backend;
};

ProcessPipeline* pex_create(int flags, const char* caller_name, const char* scratch_base);
const char* pex_add_program(ProcessPipeline* pipeline, int flags, const char* program,
                            char* const* argv, const char* outname, const char* errname, int* err);
const char* pex_add_program_env(ProcessPipeline* pipeline, int flags, const char* program,
                                char* const* argv, char* const* env, const char* outname,
                                const char* errname, int* err);
FILE* pex_prepare_input_file(ProcessPipeline* pipeline, int flags, const char* name);
FILE* pex_prepare_input_pipe(ProcessPipeline* pipeline, int binary);
FILE* pex_take_output(ProcessPipeline* pipeline, int binary);
FILE* pex_take_errors(ProcessPipeline* pipeline, int binary);
int pex_get_status(ProcessPipeline* pipeline, int count, int* statuses);
int pex_get_usage(ProcessPipeline* pipeline, int count, UsageTimes* usages);
void pex_destroy(ProcessPipeline* pipeline);
const char* pex_run_single(int flags, const char* program, char* const* argv,
                           const char* caller_name, const char* outname, const char* errname,
                           int* status, int* err);
// The file a non-final program writes when programs are not piped together.
char* pex_intermediate_name(ProcessPipeline* pipeline, int flags, const char* name);
// Waits for every program not yet waited for; 1 on success.
int pex_collect(ProcessPipeline* pipeline, bool terminate, const char** errmsg, int* err);
