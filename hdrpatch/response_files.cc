#include "hdrpatch/response_files.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/alloc.h"
#include "support/charclass.h"

namespace {

constexpr int kResponseFileBudget = 2000;

bool is_space(char c) {
  return cc_is(c, CC_SPACE);
}

bool only_white_space(const char* text) {
  for (; *text; ++text)
    if (!is_space(*text)) return false;
  return true;
}

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};

// Reads a whole response file; null when it cannot be opened, sized or read.
OwnedCString read_response_file(const char* path) {
  const std::unique_ptr<FILE, FileCloser> file(fopen(path, "r"));
  if (!file) return nullptr;
  long length = -1;
  if (fseek(file.get(), 0, SEEK_END) == 0) length = ftell(file.get());
  if (length < 0 || fseek(file.get(), 0, SEEK_SET) != 0) return nullptr;
  OwnedCString text(static_cast<char*>(checked_alloc(static_cast<size_t>(length) + 1)));
  const size_t got = fread(text.get(), 1, static_cast<size_t>(length), file.get());
  if (got < static_cast<size_t>(length) && ferror(file.get())) return nullptr;
  text.get()[got] = '\0';  // a NUL byte inside the file ends its text early
  return text;
}

}  // namespace

void expand_response_files(int* argc, char*** argv) {
  if (*argc < 2) return;
  int budget = kResponseFileBudget;
  char** const original = *argv;
  int i = 1;
  while (i < *argc) {
    const char* arg = (*argv)[i];
    if (arg[0] != '@') {
      ++i;
      continue;
    }
    if (--budget == 0) {
      fprintf(stderr, "%s: error: too many @-files encountered\n", (*argv)[0]);
      exit_process(1);
    }
    const char* path = arg + 1;
    struct stat st;
    if (stat(path, &st) != 0) {
      ++i;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      fprintf(stderr, "%s: error: @-file refers to a directory\n", (*argv)[0]);
      exit_process(1);
    }
    const OwnedCString text = read_response_file(path);
    if (!text) {
      ++i;
      continue;
    }
    // The vector itself is freed below; its strings move into the arguments.
    const std::unique_ptr<char*, FreeDeleter> replacement(
        only_white_space(text.get()) ? nullptr : split_into_arguments(text.get()));
    const int n = count_arguments(replacement.get());
    if (*argv == original) *argv = copy_argument_vector(original);
    char** vector = *argv;
    free(vector[i]);
    // Room for count + n entries (one "@" argument goes) and the terminator.
    vector = static_cast<char**>(
        checked_resize(vector, sizeof(char*) * static_cast<size_t>(*argc + n + 1)));
    memmove(vector + i + n, vector + i + 1, sizeof(char*) * static_cast<size_t>(*argc - i));
    for (int k = 0; k < n; ++k) vector[i + k] = replacement.get()[k];
    *argc += n - 1;
    *argv = vector;
    // Stay at i: the first replacement argument is examined next.
  }
}

ArgVector split_into_arguments(const char* text) {
  if (text == nullptr) return nullptr;
  char* scratch = static_cast<char*>(checked_alloc(strlen(text) + 1));
  ArgVector vector = nullptr;
  size_t capacity = 0, count = 0;
  const char* p = text;
  for (;;) {
    while (is_space(*p)) ++p;
    if (capacity == 0 || count >= capacity - 1) {
      capacity = capacity == 0 ? 8 : capacity * 2;
      vector = static_cast<ArgVector>(checked_resize(vector, capacity * sizeof(char*)));
      vector[count] = nullptr;
    }
    bool backslash = false, single_quote = false, double_quote = false;
    char* out = scratch;
    for (; *p; ++p) {
      const char c = *p;
      if (is_space(c) && !backslash && !single_quote && !double_quote) break;
      if (backslash) {
        *out++ = c;
        backslash = false;
      } else if (c == '\\') {
        backslash = true;
      } else if (single_quote) {
        if (c == '\'')
          single_quote = false;
        else
          *out++ = c;
      } else if (double_quote) {
        if (c == '"')
          double_quote = false;
        else
          *out++ = c;
      } else if (c == '\'') {
        single_quote = true;
      } else if (c == '"') {
        double_quote = true;
      } else {
        *out++ = c;
      }
    }
    *out = '\0';
    vector[count++] = checked_strdup(scratch);
    vector[count] = nullptr;
    while (is_space(*p)) ++p;
    if (*p == '\0') break;
  }
  free(scratch);
  return vector;
}

ArgVector copy_argument_vector(const char* const* vector) {
  if (vector == nullptr) return nullptr;
  const int count = count_arguments(vector);
  ArgVector copy =
      static_cast<ArgVector>(checked_alloc(sizeof(char*) * static_cast<size_t>(count + 1)));
  for (int i = 0; i < count; ++i) copy[i] = checked_strdup(vector[i]);
  copy[count] = nullptr;
  return copy;
}

void free_argument_vector(ArgVector vector) {
  if (vector == nullptr) return;
  for (char** p = vector; *p; ++p) free(*p);
  free(vector);
}

int count_arguments(const char* const* vector) {
  int count = 0;
  if (vector)
    while (vector[count]) ++count;
  return count;
}

int write_argument_vector(const char* const* vector, FILE* stream) {
  if (stream == nullptr) return 1;
  for (int i = 0; vector && vector[i]; ++i) {
    const char* arg = vector[i];
    if (*arg == '\0' && fputs("\"\"", stream) == EOF) return 1;
    for (; *arg; ++arg) {
      const char c = *arg;
      if ((is_space(c) || c == '"' || c == '\'' || c == '\\') && putc('\\', stream) == EOF)
        return 1;
      if (putc(c, stream) == EOF) return 1;
    }
    if (putc('\n', stream) == EOF) return 1;
  }
  return 0;
}
