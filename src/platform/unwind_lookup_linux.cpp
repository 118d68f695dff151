#include "platform/unwind_lookup_linux.h"

#include <link.h>
#include <stdint.h>
#include <string.h>

namespace {

struct Search {
  uintptr_t pc;
  dl_find_object* result;
};

// Stops the walk (returns 1) at the object that has pc in a segment.
int visitObject(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  uintptr_t start = UINTPTR_MAX, end = 0;
  void* ehFrame = nullptr;
  bool holdsPc = false;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    uintptr_t from = info->dlpi_addr + header.p_vaddr;
    if (header.p_type == PT_GNU_EH_FRAME)
      ehFrame = reinterpret_cast<void*>(from);
    if (header.p_type != PT_LOAD) continue;
    uintptr_t to = from + header.p_memsz;
    if (from < start) start = from;
    if (to > end) end = to;
    if (search->pc >= from && search->pc < to) holdsPc = true;
  }
  if (!holdsPc) return 0;
  memset(search->result, 0, sizeof *search->result);
  search->result->dlfo_map_start = reinterpret_cast<void*>(start);
  search->result->dlfo_map_end = reinterpret_cast<void*>(end);
  search->result->dlfo_eh_frame = ehFrame;
  return 1;
}

}  // namespace

int bootstrap_find_unwind_object(void* pc, dl_find_object* result) {
  Search search{reinterpret_cast<uintptr_t>(pc), result};
  return dl_iterate_phdr(visitObject, &search) == 1 ? 0 : -1;
}
