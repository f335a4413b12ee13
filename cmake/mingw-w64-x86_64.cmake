# Cross-build for 64-bit Windows with Debian's MinGW-w64 toolchain
# (package g++-mingw-w64-x86-64-posix: the POSIX thread model, which std::thread and
# GoogleTest need). Use with
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Only the layers below Qt are built: no Qt for Windows is looked for here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXORA_MINGW_PREFIX}-windres)

# Libraries and packages come from the MinGW sysroot only, never from the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${VEXORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: the C++ runtime, libgcc and winpthread are linked in, so a
# program runs from any folder without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine when it is installed (Debian's wine64 puts its loader here).
find_program(VEXORA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VEXORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXORA_WINE})
endif()
