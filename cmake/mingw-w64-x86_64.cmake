# Cross-compiles for 64-bit Windows with mingw-w64's GCC and runs test programs under Wine. GCC 12
# cannot harden the shipped library (cmake/hardening.cmake): the Clang toolchain builds it, in a
# tree of its own below this one (cmake/library-tree.cmake); GCC builds the tests, the simulated
# device and the tests' copy of the library's code, so that a second compiler reads the sources.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-sysroot-and-wine.cmake)
set(KX_LIBRARY_TOOLCHAIN_FILE ${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64-x86_64.cmake)
