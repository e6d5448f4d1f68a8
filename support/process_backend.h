// The operating-system operations under the pipeline layer.
#pragma once
#include <sys/types.h>

#include <cstdio>

#include "support/pipeline.h"

struct PipelineBackend {
  int (*open_for_reading)(ProcessPipeline*, const char* name, int binary);
  int (*open_for_writing)(ProcessPipeline*, const char* name, int binary, int append);
  pid_t (*start_child)(ProcessPipeline*, int flags, const char* program, char* const* argv,
                       char* const* env, int in, int out, int errdes, int toclose,
                       const char** errmsg, int* err);
  int (*close_descriptor)(ProcessPipeline*, int fd);
  int (*wait_child)(ProcessPipeline*, pid_t pid, int* status, UsageTimes* usage, bool terminate,
                    const char** errmsg, int* err);
  int (*make_pipe)(ProcessPipeline*, int* fds, int binary);
  FILE* (*stream_for_reading)(ProcessPipeline*, int fd, int binary);
  FILE* (*stream_for_writing)(ProcessPipeline*, int fd, int binary);
  void (*release_backend)(ProcessPipeline*);
};

// The POSIX back end: children made with vfork, failures reported through a
// close-on-exec pipe.
extern const PipelineBackend unix_backend;
