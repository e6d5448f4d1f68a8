#include "support/pipeline.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/alloc.h"
#include "support/concat.h"
#include "support/process_backend.h"
#include "support/tempfiles.h"

namespace {

template <typename T>
T* grow(T* array, int count) {
  return static_cast<T*>(checked_resize(array, sizeof(T) * static_cast<size_t>(count)));
}

void add_cleanup(ProcessPipeline* p, char* name) {
  p->cleanup_paths = grow(p->cleanup_paths, p->cleanup_count + 1);
  p->cleanup_paths[p->cleanup_count++] = name;
}

}  // namespace

ProcessPipeline* pex_create(int flags, const char* caller_name, const char* scratch_base) {
  auto* p = static_cast<ProcessPipeline*>(checked_alloc_zeroed(1, sizeof(ProcessPipeline)));
  p->mode_flags = flags;
  p->caller_name = caller_name;
  p->scratch_base = scratch_base;
  p->pending_input_fd = 0;
  p->error_pipe_fd = -1;
  p->backend = &unix_backend;
  return p;
}

char* pex_intermediate_name(ProcessPipeline* p, int flags, const char* name) {
  if (name != nullptr && !(flags & PEX_NAME_IS_SUFFIX)) return const_cast<char*>(name);
  if (name != nullptr) {
    if (p->scratch_base) return join_strings(p->scratch_base, name, nullptr);
    return temp_file_create_suffixed(name);
  }
  if (p->scratch_base == nullptr) return temp_file_create_suffixed(nullptr);
  const size_t length = strlen(p->scratch_base);
  char* name_template = length >= 6 && strcmp(p->scratch_base + length - 6, "XXXXXX") == 0
                            ? checked_strdup(p->scratch_base)
                            : join_strings(p->scratch_base, "XXXXXX", nullptr);
  const int fd = mkstemps(name_template, 0);
  if (fd < 0) {
    free(name_template);
    return nullptr;
  }
  close(fd);
  return name_template;
}

const char* pex_add_program(ProcessPipeline* p, int flags, const char* program, char* const* argv,
                            const char* outname, const char* errname, int* err) {
  return pex_add_program_env(p, flags, program, argv, nullptr, outname, errname, err);
}

namespace {

// The descriptors one stage starts with; -1 until opened.
struct StageFds {
  int in = -1, out = -1, err = -1;
};

bool stage_failed(const char** errmsg, int* err, const char* text, int number) {
  *errmsg = text;
  *err = number;
  return false;
}

// The stage's input: the previous stage's temporary file or pipe, or the
// pipeline's input.
bool open_stage_input(ProcessPipeline* p, int flags, StageFds* fds, const char** errmsg, int* err) {
  if (p->pending_input_path) {
    if (!pex_collect(p, false, errmsg, err)) return false;
    fds->in = p->backend->open_for_reading(p, p->pending_input_path, flags & PEX_RAW_INPUT);
    if (fds->in < 0) return stage_failed(errmsg, err, "open temporary file", errno);
    if (p->pending_input_path_owned) free(p->pending_input_path);
    p->pending_input_path = nullptr;
    p->pending_input_path_owned = 0;
    return true;
  }
  fds->in = p->pending_input_fd;
  if (fds->in < 0) return stage_failed(errmsg, err, "pipeline already complete", 0);
  return true;
}

// The stage's output: the final output (a file or standard output), a pipe
// to the next stage, or a temporary file the next stage reads.
bool open_stage_output(ProcessPipeline* p, int flags, const char* outname, StageFds* fds,
                       const char** errmsg, int* err) {
  const PipelineBackend* b = p->backend;
  if (flags & PEX_FINAL_STAGE) {
    p->pending_input_fd = -1;
    if (outname == nullptr) {
      fds->out = 1;
      return true;
    }
    char* joined = nullptr;
    const char* name = outname;
    if (flags & PEX_NAME_IS_SUFFIX) name = joined = join_strings(p->scratch_base, outname, nullptr);
    fds->out = b->open_for_writing(p, name, flags & PEX_RAW_OUTPUT, flags & PEX_APPEND_OUTPUT);
    const int open_error = errno;
    free(joined);
    if (fds->out < 0) return stage_failed(errmsg, err, "open temporary output file", open_error);
    return true;
  }
  if (p->mode_flags & PEX_PIPE_STAGES) {
    int pipe_fds[2];
    if (b->make_pipe(p, pipe_fds, flags & PEX_RAW_OUTPUT) < 0)
      return stage_failed(errmsg, err, "pipe", errno);
    fds->out = pipe_fds[1];
    p->pending_input_fd = pipe_fds[0];
    return true;
  }
  char* name = pex_intermediate_name(p, flags, outname);
  if (name == nullptr) return stage_failed(errmsg, err, "could not create temporary file", 0);
  const bool made_here = name != outname;
  if (!(p->mode_flags & PEX_KEEP_TEMPS)) add_cleanup(p, made_here ? name : checked_strdup(name));
  p->pending_input_path = name;
  p->pending_input_path_owned = (p->mode_flags & PEX_KEEP_TEMPS) && made_here;
  fds->out = b->open_for_writing(p, name, flags & PEX_RAW_OUTPUT, flags & PEX_APPEND_OUTPUT);
  if (fds->out < 0) return stage_failed(errmsg, err, "open temporary output file", errno);
  return true;
}

// The stage's standard error: a file, a pipe the caller reads, or the
// pipeline's own.
bool open_stage_errors(ProcessPipeline* p, int flags, const char* errname, StageFds* fds,
                       const char** errmsg, int* err) {
  const PipelineBackend* b = p->backend;
  if (errname && (flags & PEX_STDERR_TO_PIPE))
    return stage_failed(errmsg, err, "both ERRNAME and PEX_STDERR_TO_PIPE specified.", 0);
  if (p->error_pipe_fd != -1)
    return stage_failed(errmsg, err, "PEX_STDERR_TO_PIPE used in the middle of pipeline", 0);
  if (errname) {
    fds->err = b->open_for_writing(p, errname, flags & PEX_RAW_ERRORS, flags & PEX_APPEND_ERRORS);
    if (fds->err < 0) return stage_failed(errmsg, err, "open error file", errno);
  } else if (flags & PEX_STDERR_TO_PIPE) {
    int pipe_fds[2];
    if (b->make_pipe(p, pipe_fds, flags & PEX_RAW_ERRORS) < 0)
      return stage_failed(errmsg, err, "pipe", errno);
    fds->err = pipe_fds[1];
    p->error_pipe_fd = pipe_fds[0];
  } else {
    fds->err = 2;
  }
  return true;
}

// After a failure: closes what the stage opened. An input pipe closed here is
// forgotten too, so that destroying the pipeline does not close it again.
void release_stage(ProcessPipeline* p, const StageFds& fds) {
  const PipelineBackend* b = p->backend;
  if (fds.in > 0) {
    b->close_descriptor(p, fds.in);
    if (p->pending_input_fd == fds.in) p->pending_input_fd = -1;
  }
  if (fds.out >= 0 && fds.out != 1) b->close_descriptor(p, fds.out);
  if (fds.err >= 0 && fds.err != 2) b->close_descriptor(p, fds.err);
}

}  // namespace

const char* pex_add_program_env(ProcessPipeline* p, int flags, const char* program,
                                char* const* argv, char* const* env, const char* outname,
                                const char* errname, int* err) {
  if (p->input_stream) {
    if (fclose(p->input_stream) != 0) return "closing pipeline input file";
    p->input_stream = nullptr;
  }
  StageFds fds;
  const char* errmsg = nullptr;
  if (open_stage_input(p, flags, &fds, &errmsg, err) &&
      open_stage_output(p, flags, outname, &fds, &errmsg, err) &&
      open_stage_errors(p, flags, errname, &fds, &errmsg, err)) {
    const int toclose = (p->mode_flags & PEX_PIPE_STAGES) ? p->pending_input_fd : -1;
    const pid_t pid = p->backend->start_child(p, flags, program, argv, env, fds.in, fds.out,
                                              fds.err, toclose, &errmsg, err);
    if (pid >= 0) {
      p->pids = grow(p->pids, p->program_count + 1);
      p->pids[p->program_count++] = pid;
      return nullptr;
    }
  }
  release_stage(p, fds);
  return errmsg;
}

FILE* pex_prepare_input_file(ProcessPipeline* p, int flags, const char* name) {
  if (p->program_count != 0 || p->pending_input_fd > 0 || p->pending_input_path) {
    errno = EINVAL;
    return nullptr;
  }
  char* path = pex_intermediate_name(p, flags, name);
  if (path == nullptr) return nullptr;
  const bool made_here = path != name;
  FILE* stream = fopen(path, (flags & PEX_RAW_OUTPUT) ? "wb" : "w");
  if (stream == nullptr) {
    const int saved = errno;
    if (made_here) free(path);
    errno = saved;
    return nullptr;
  }
  p->input_stream = stream;
  p->pending_input_path = path;
  p->pending_input_path_owned = made_here;
  return stream;
}

FILE* pex_prepare_input_pipe(ProcessPipeline* p, int binary) {
  if (!(p->mode_flags & PEX_PIPE_STAGES) || p->program_count != 0 || p->pending_input_fd > 0 ||
      p->pending_input_path) {
    errno = EINVAL;
    return nullptr;
  }
  int fds[2];
  if (p->backend->make_pipe(p, fds, binary) < 0) return nullptr;
  FILE* stream = p->backend->stream_for_writing(p, fds[1], binary);
  if (stream == nullptr) {
    const int saved = errno;
    p->backend->close_descriptor(p, fds[0]);
    p->backend->close_descriptor(p, fds[1]);
    errno = saved;
    return nullptr;
  }
  p->pending_input_fd = fds[0];
  return stream;
}

FILE* pex_take_output(ProcessPipeline* p, int binary) {
  if (p->pending_input_path) {
    const char* errmsg;
    int err;
    if (!pex_collect(p, false, &errmsg, &err)) {
      errno = err;
      return nullptr;
    }
    p->output_stream = fopen(p->pending_input_path, binary ? "rb" : "r");
    if (p->pending_input_path_owned) free(p->pending_input_path);
    p->pending_input_path = nullptr;
    p->pending_input_path_owned = 0;
    return p->output_stream;
  }
  if (p->pending_input_fd <= 0) return nullptr;
  p->output_stream = p->backend->stream_for_reading(p, p->pending_input_fd, binary);
  p->pending_input_fd = -1;
  return p->output_stream;
}

FILE* pex_take_errors(ProcessPipeline* p, int binary) {
  if (p->error_pipe_fd <= 0) return nullptr;
  p->error_stream = p->backend->stream_for_reading(p, p->error_pipe_fd, binary);
  p->error_pipe_fd = -1;
  return p->error_stream;
}

int pex_collect(ProcessPipeline* p, bool terminate, const char** errmsg, int* err) {
  if (p->waited_count == p->program_count) return 1;
  p->exit_statuses = grow(p->exit_statuses, p->program_count);
  const bool track = p->mode_flags & PEX_TRACK_USAGE;
  if (track) p->usages = grow(p->usages, p->program_count);
  int ok = 1;
  for (int i = p->waited_count; i < p->program_count; ++i) {
    if (p->backend->wait_child(p, p->pids[i], &p->exit_statuses[i], track ? &p->usages[i] : nullptr,
                               terminate, errmsg, err) < 0)
      ok = 0;
  }
  p->waited_count = p->program_count;
  return ok;
}

int pex_get_status(ProcessPipeline* p, int count, int* statuses) {
  const char* errmsg;
  int err;
  if (!pex_collect(p, false, &errmsg, &err)) return 0;
  if (count > p->program_count) {
    memset(statuses + p->program_count, 0,
           sizeof(int) * static_cast<size_t>(count - p->program_count));
    count = p->program_count;
  }
  if (count > 0) memcpy(statuses, p->exit_statuses, sizeof(int) * static_cast<size_t>(count));
  return 1;
}

int pex_get_usage(ProcessPipeline* p, int count, UsageTimes* usages) {
  const char* errmsg;
  int err;
  if (!pex_collect(p, false, &errmsg, &err)) return 0;
  if (p->usages == nullptr) return 0;
  if (count > p->program_count) {
    memset(usages + p->program_count, 0,
           sizeof(UsageTimes) * static_cast<size_t>(count - p->program_count));
    count = p->program_count;
  }
  if (count > 0) memcpy(usages, p->usages, sizeof(UsageTimes) * static_cast<size_t>(count));
  return 1;
}

void pex_destroy(ProcessPipeline* p) {
  if (p->pending_input_fd > 0) p->backend->close_descriptor(p, p->pending_input_fd);
  if (p->error_pipe_fd > 0) p->backend->close_descriptor(p, p->error_pipe_fd);
  if (p->output_stream) fclose(p->output_stream);
  if (p->error_stream) fclose(p->error_stream);
  p->mode_flags &= ~PEX_TRACK_USAGE;
  const char* errmsg;
  int err;
  pex_collect(p, true, &errmsg, &err);
  if (p->pending_input_path_owned) free(p->pending_input_path);
  free(p->pids);
  free(p->exit_statuses);
  free(p->usages);
  for (int i = 0; i < p->cleanup_count; ++i) {
    remove(p->cleanup_paths[i]);
    free(p->cleanup_paths[i]);
  }
  free(p->cleanup_paths);
  p->backend->release_backend(p);
  free(p);
}

const char* pex_run_single(int flags, const char* program, char* const* argv,
                           const char* caller_name, const char* outname, const char* errname,
                           int* status, int* err) {
  ProcessPipeline* p = pex_create(0, caller_name, nullptr);
  const char* errmsg = pex_add_program(p, flags, program, argv, outname, errname, err);
  if (errmsg == nullptr && !pex_get_status(p, 1, status)) {
    *err = 0;
    errmsg = "pex_get_status failed";
  }
  pex_destroy(p);
  return errmsg;
}
