# Cross-compiles for Windows on ARM64. Debian ships no aarch64 mingw-w64 runtime, import libraries
# or compiler builtins, so Debian's Clang cannot link for that target; Zig 0.11 brings all of them
# (mingw-w64 headers and import libraries, libc++, libunwind, a static runtime) around its own
# Clang. scripts/install-deps.sh installs Zig outside the work tree (cmake/zig/env.sh says where);
# the wrappers in cmake/zig/ hand CMake its compilers, archiver and, with Debian's llvm-windres,
# a resource compiler for the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(KX_ZIG_WRAPPERS ${CMAKE_CURRENT_LIST_DIR}/zig)
execute_process(COMMAND ${KX_ZIG_WRAPPERS}/zig env
  OUTPUT_VARIABLE KX_ZIG_ENV ERROR_VARIABLE KX_ZIG_ERROR RESULT_VARIABLE KX_ZIG_STATUS)
if(NOT KX_ZIG_STATUS EQUAL 0)
  message(FATAL_ERROR "No Zig for the ARM64 build (${KX_ZIG_ERROR}): run scripts/install-deps.sh")
endif()
string(JSON KX_ZIG_VERSION GET "${KX_ZIG_ENV}" version)
if(NOT KX_ZIG_VERSION VERSION_EQUAL 0.11.0)
  # The unwinder's export fix (cmake/zig-libunwind.cmake) is made for this version's runtime.
  message(FATAL_ERROR "Zig ${KX_ZIG_VERSION} found, 0.11.0 expected: run scripts/install-deps.sh")
endif()
string(JSON KX_ZIG_LIB_DIR GET "${KX_ZIG_ENV}" lib_dir)

set(CMAKE_C_COMPILER ${KX_ZIG_WRAPPERS}/cc)
set(CMAKE_CXX_COMPILER ${KX_ZIG_WRAPPERS}/c++)
set(CMAKE_ASM_COMPILER ${KX_ZIG_WRAPPERS}/cc)
set(CMAKE_RC_COMPILER ${KX_ZIG_WRAPPERS}/windres)
set(CMAKE_AR ${KX_ZIG_WRAPPERS}/ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${KX_ZIG_WRAPPERS}/ranlib CACHE FILEPATH "Archive indexer")

# Zig builds its C and C++ runtime for each optimisation level the first time a program of that
# level is linked (about two minutes). CMake's compiler checks would link unoptimised programs and
# so build a runtime that nothing else uses: they compile only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
