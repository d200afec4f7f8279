# Cross build for 32-bit Windows with the MinGW-w64 win32-thread compilers.
# Their runtime (libstdc++, libgcc) needs no thread library: the posix model
# links winpthreads, which imports GetTickCount64, and Windows XP refuses to
# load a program importing a function it lacks. GCC 12's win32 model has no
# std::thread or std::mutex; the program uses Win32 threads and locks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KVR_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KVR_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KVR_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${KVR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests and tools built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/wine-run)
