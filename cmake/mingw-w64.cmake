# Cross build for Windows with the MinGW-w64 compilers, one file for both
# targets:
#   KVR_MINGW_TRIPLET  x86_64-w64-mingw32 (default) or i686-w64-mingw32
#   KVR_MINGW_THREADS  the compilers' thread model: posix (default for 64-bit)
#                      or win32 (default for 32-bit)
# The 32-bit program uses the win32-thread compilers: their runtime
# (libstdc++, libgcc) needs no thread library, while the posix model links
# winpthreads, which imports GetTickCount64, and Windows XP refuses to load a
# program importing a function it lacks. GCC 12's win32 model has no
# std::thread or std::mutex; the program uses Win32 threads and locks.
set(KVR_MINGW_TRIPLET x86_64-w64-mingw32 CACHE STRING "MinGW-w64 target: x86_64-w64-mingw32 or i686-w64-mingw32")
if(KVR_MINGW_TRIPLET STREQUAL "x86_64-w64-mingw32")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(_kvr_threads posix)
elseif(KVR_MINGW_TRIPLET STREQUAL "i686-w64-mingw32")
  set(CMAKE_SYSTEM_PROCESSOR x86)
  set(_kvr_threads win32)
else()
  message(FATAL_ERROR "KVR_MINGW_TRIPLET: x86_64-w64-mingw32 or i686-w64-mingw32, not '${KVR_MINGW_TRIPLET}'")
endif()
set(KVR_MINGW_THREADS ${_kvr_threads} CACHE STRING "thread model of the MinGW-w64 compilers: posix or win32")
if(NOT KVR_MINGW_THREADS MATCHES "^(posix|win32)$")
  message(FATAL_ERROR "KVR_MINGW_THREADS: posix or win32, not '${KVR_MINGW_THREADS}'")
endif()
# The checks CMake compiles in projects of their own read this file again
# and need the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KVR_MINGW_TRIPLET KVR_MINGW_THREADS)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${KVR_MINGW_TRIPLET}-gcc-${KVR_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KVR_MINGW_TRIPLET}-g++-${KVR_MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${KVR_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests and tools built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/wine-run)
