// Whole blocks of memory straight from the system for the received-data log:
// pages cost nothing until written, and a freed block goes back to the system
// at once, so clearing a log of millions of lines gives its memory back.
// One file per platform: posix/, win32/.
#pragma once

#include <cstddef>

// nullptr when the system has no memory to give; the contents start zeroed.
void* MapBlock(std::size_t bytes);
void UnmapBlock(void* block, std::size_t bytes);
