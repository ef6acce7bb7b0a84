# Cross-build for 64-bit Windows with Debian's mingw-w64, posix thread model
# (std::thread and std::mutex through winpthread). Everything is linked
# statically, so the programs need no DLL beside them, only Windows' own.
# Test programs run under Wine (scripts/wine-run.sh) in a prefix of the
# build directory's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNEL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
