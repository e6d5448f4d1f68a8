/* Floor for one small query: the least a program answering it must do.
 * Statically linked; takes LC_CTYPE and LC_MESSAGES from the environment,
 * opens, reads and closes the module file, and prints a line. */
#include <fcntl.h>
#include <locale.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
  static char buffer[1 << 16];
  setlocale(LC_CTYPE, "");
  setlocale(LC_MESSAGES, "");
  int fd = argc > 1 ? open(argv[1], O_RDONLY) : -1;
  if (fd < 0) return 1;
  ssize_t n = read(fd, buffer, sizeof buffer);
  close(fd);
  printf("%zd\n", n);
  return 0;
}
