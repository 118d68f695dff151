#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_RENAME_NO_REPLACE_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_RENAME_NO_REPLACE_H_

// Renames from to to in one step unless to exists, even as an empty
// directory that rename() would replace: 0, or -1 with errno set (EEXIST
// when to exists, EINVAL where the file system or the platform cannot).
// Each platform has its own file for it.
int renameNoReplace(const char* from, const char* to);

#endif
