#include "app/heap_reuse.h"

#include <cstdint>
#include <cstdlib>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Room the heap takes in one step, and the size below which blocks come from it.
constexpr int heap_step = 256 << 20;
constexpr int heap_block_limit = 1 << 30;
constexpr std::uintptr_t huge_page = 2 << 20;

}  // namespace

void reuse_heap_memory() {
  mallopt(M_MMAP_THRESHOLD, heap_block_limit);
  mallopt(M_TRIM_THRESHOLD, heap_block_limit);
  mallopt(M_TOP_PAD, heap_step);
  // One block of a whole step makes the heap grow by it; its pages are not touched yet,
  // so advising them costs nothing, and once freed it is the room of later blocks.
  void* room = std::malloc(heap_step);
  if (room == nullptr) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(room) + huge_page - 1) & ~(huge_page - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(huge_page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(room);
}
