# Cross-building for Windows with Debian's MinGW-w64 (the posix thread model, GCC 12). The
# architecture comes from the file that includes this one: x86_64 or i686.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SOLVARD_MINGW_ARCH})
set(SOLVARD_MINGW_TRIPLE ${SOLVARD_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${SOLVARD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SOLVARD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SOLVARD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SOLVARD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything the programs and the DLL need is linked in, so that they import system DLLs only:
# a host machine has no libstdc++-6.dll or libwinpthread-1.dll. FindODBC ends its link line in
# -Bdynamic, which would otherwise pull the C++ run-time back in as DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# 64-bit programs run here under Wine; 32-bit ones cannot (this kernel runs no 32-bit code).
if(SOLVARD_MINGW_ARCH STREQUAL "x86_64")
  find_program(SOLVARD_WINE NAMES wine wine64)
  if(SOLVARD_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SOLVARD_WINE})
  endif()
endif()
