#include <sys/mman.h>

#include "receive/block_memory.h"

void* MapBlock(std::size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void UnmapBlock(void* block, std::size_t bytes) {
  if (block) munmap(block, bytes);
}
