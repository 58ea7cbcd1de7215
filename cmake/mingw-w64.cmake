# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread
# and std::mutex in GoogleTest). Tests run under Wine through the emulator below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and gtest start the .exe files through Wine; the caller may name another runner.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TAVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(TAVO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVO_WINE})
  endif()
endif()
