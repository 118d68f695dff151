#ifndef BOOTSTRAP_PLATFORM_UNWIND_LOOKUP_LINUX_H_
#define BOOTSTRAP_PLATFORM_UNWIND_LOOKUP_LINUX_H_

#include <dlfcn.h>

// glibc 2.35's _dl_find_object, from the program headers of the loaded
// objects, as the unwinder found its tables before that glibc. The static
// libgcc of a newer build machine calls _dl_find_object to unwind an
// exception, which would make the shipped binaries need glibc 2.35; the
// build points that call here instead. Fills the mapping's bounds and
// its unwind table header (dlfo_eh_frame), null when it has none; 0 when
// pc lies in a loaded object, else -1. No link map is given. Unmangled,
// for the linker's --defsym.
extern "C" int bootstrap_find_unwind_object(void* pc, dl_find_object* result);

#endif
