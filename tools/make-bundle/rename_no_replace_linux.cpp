#include "rename_no_replace.h"

#include <fcntl.h>
#include <stdio.h>

int renameNoReplace(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}
