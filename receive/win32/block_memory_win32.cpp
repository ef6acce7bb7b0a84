#include "receive/block_memory.h"

#include <windows.h>

// Committed but untouched pages are not in the working set: only what the log
// writes costs memory.
void* MapBlock(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void UnmapBlock(void* block, std::size_t) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}
