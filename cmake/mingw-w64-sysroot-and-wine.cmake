# Shared by the toolchain files: libraries and headers come from the mingw-w64 sysroot, programs
# from the host, and test programs run under Wine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64})
endif()

# Both toolchains that include this file link the C++ runtime of mingw-w64's GCC (libstdc++,
# libgcc): the posix-thread one by default, which brings winpthread.
set(KX_MINGW_GCC_RUNTIME ON)
# The same GCC's runtime built for Win32 threads (package g++-mingw-w64-x86-64-win32). The shipped
# DLL links it: the library starts no thread and uses no lock of its own, and the posix-thread
# runtime would bring winpthread and emulated thread-local storage into the DLL for the exception
# machinery alone. Test programs keep the posix runtime: GoogleTest and the tests use std::thread
# and std::mutex, which the Win32-thread runtime of this GCC lacks.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-gcc-win32 -print-libgcc-file-name
  OUTPUT_VARIABLE KX_WIN32_THREAD_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
  RESULT_VARIABLE KX_WIN32_THREAD_PROBE)
if(KX_WIN32_THREAD_PROBE EQUAL 0 AND EXISTS "${KX_WIN32_THREAD_LIBGCC}")
  get_filename_component(KX_WIN32_THREAD_RUNTIME_DIR "${KX_WIN32_THREAD_LIBGCC}" DIRECTORY)
endif()
