# Cross-compiles for 64-bit Windows with mingw-w64's GCC and runs test programs under Wine: the
# second compiler that reads the library's sources, and its own build of the library that the
# whole suite runs on. GCC 12 cannot harden the library (cmake/hardening.cmake), so the DLL of this
# tree is never shipped: the Clang tree's is (CMakePresets.json).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-sysroot-and-wine.cmake)
