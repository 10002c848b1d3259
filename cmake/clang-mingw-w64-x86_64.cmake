# Cross-compiles for 64-bit Windows with Clang 19 and LLD 19 (Debian 12's clang-19 and lld-19)
# against the same mingw-w64 headers and C++ runtime as the GCC build, and runs test programs under
# Wine. It builds the shipped x64 library (cmake/hardening.cmake: Debian's default Clang 14 and
# GCC 12 cannot give it Control Flow Guard). Its warnings are errors too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# Clang does not find the posix-thread variant of the mingw-w64 GCC runtime by itself (its
# directory is named "12-posix", not a bare version): take the directory from that GCC.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-libgcc-file-name
  OUTPUT_VARIABLE KX_MINGW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(KX_MINGW_GCC_DIR "${KX_MINGW_LIBGCC}" DIRECTORY)
set(KX_LIBSTDCXX_INCLUDES
  "-isystem ${KX_MINGW_GCC_DIR}/include/c++"
  "-isystem ${KX_MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX}"
  "-isystem ${KX_MINGW_GCC_DIR}/include/c++/backward")
string(JOIN " " CMAKE_CXX_FLAGS_INIT ${KX_LIBSTDCXX_INCLUDES})
# -pthread puts winpthread inside the runtime's link group, where libstdc++ and libgcc_eh of the
# posix variant need it. LLD rather than GNU ld: GNU ld reports every type name Clang and the
# prebuilt runtime both carry as a "duplicate section" of a different size.
set(KX_RUNTIME_LINK_FLAGS "-L${KX_MINGW_GCC_DIR} -pthread -fuse-ld=lld")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${KX_RUNTIME_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${KX_RUNTIME_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${KX_RUNTIME_LINK_FLAGS}")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-sysroot-and-wine.cmake)
