#include "provisioning/first_line.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

bool readFirstLine(const std::string& path, std::string* line) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  FILE* file = nullptr;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      !(file = fdopen(fd, "r"))) {
    close(fd);
    return false;
  }
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t length = getdelim(&buffer, &capacity, '\n', file);
  line->clear();
  if (length > 0) {
    if (buffer[length - 1] == '\n') --length;
    line->assign(buffer, static_cast<size_t>(length));
  }
  free(buffer);
  fclose(file);
  return true;
}
