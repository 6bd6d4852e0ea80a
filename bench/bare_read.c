/* The least a command that reads one file can cost, for the start-up of korvane's commands
   to be measured against: a C program that opens the file, reads it to its end and closes
   it, with no library beyond the C library. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
  char buffer[65536];
  long total = 0;
  ssize_t got = 0;
  int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
  if (fd < 0) {
    fprintf(stderr, "usage: bench-bare-read FILE (a file that can be read)\n");
    return 2;
  }
  while ((got = read(fd, buffer, sizeof buffer)) > 0) total += got;
  close(fd);
  printf("%ld bytes\n", total);
  return got < 0 ? 1 : 0;
}
