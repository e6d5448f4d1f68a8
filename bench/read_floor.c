/* Floor for file-reading workloads: opens, reads into one reused buffer and
 * closes every file named in a list, in one process. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  static char buffer[1 << 16];
  char path[4096];
  FILE* list = argc > 1 ? fopen(argv[1], "r") : NULL;
  if (!list) return 1;
  while (fgets(path, sizeof path, list)) {
    path[strcspn(path, "\n")] = '\0';
    int fd = open(path, O_RDONLY);
    if (fd < 0) return 1;
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
    close(fd);
  }
  fclose(list);
  return 0;
}
