# Where Zig 0.11's own runtime falls short of mingw-w64's for this project (included by the
# top-level CMakeLists.txt when cmake/zig-aarch64-windows.cmake is the toolchain).

# 1. Its bundled libunwind is built with every function marked for export, so each DLL that links
# it would export 25 _Unwind_*/unw_* functions beside its own; its linker refuses
# --exclude-symbols. The same sources of Zig's own tree, built here with the symbols hidden,
# define every unwinder symbol before Zig's runtime archives come on the link line, so that no
# member of Zig's copy is ever pulled in. tests/check_binary.py fails a DLL whose exports grow.
enable_language(ASM)
set(kx_unwind_dir ${KX_ZIG_LIB_DIR}/libunwind)
# The members of Zig's own archive, one for one.
add_library(kx_zig_unwind STATIC
  ${kx_unwind_dir}/src/libunwind.cpp
  ${kx_unwind_dir}/src/Unwind-EHABI.cpp
  ${kx_unwind_dir}/src/Unwind-seh.cpp
  ${kx_unwind_dir}/src/Unwind_AIXExtras.cpp
  ${kx_unwind_dir}/src/UnwindLevel1.c
  ${kx_unwind_dir}/src/UnwindLevel1-gcc-ext.c
  ${kx_unwind_dir}/src/Unwind-sjlj.c
  ${kx_unwind_dir}/src/gcc_personality_v0.c
  ${kx_unwind_dir}/src/UnwindRegistersRestore.S
  ${kx_unwind_dir}/src/UnwindRegistersSave.S
)
target_include_directories(kx_zig_unwind PRIVATE ${kx_unwind_dir}/include)
# Its rare fatal messages go through the system C runtime's fprintf rather than mingw-w64's own
# printf engine, which would otherwise come into the DLL for them alone.
target_compile_definitions(kx_zig_unwind PRIVATE _LIBUNWIND_HIDE_SYMBOLS _LIBUNWIND_IS_NATIVE_ONLY
  __USE_MINGW_ANSI_STDIO=0)
target_compile_options(kx_zig_unwind PRIVATE -funwind-tables -ffunction-sections -fdata-sections
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
target_link_libraries(kx_build_settings INTERFACE kx_zig_unwind)

# 2. Its libc++abi keeps each thread's exception state in a fiber-local slot whose destructor
# lies in the DLL, and never frees the slot. Once the DLL is unloaded (the installation host
# and rundll32 both unload it) every thread that ever threw inside it would call into unmapped
# code when it ends. The same source built for thread_local storage keeps that state in the
# DLL's own TLS block, which the loader releases with the DLL: no slot, no destructor, no heap.
add_library(kx_zig_exception_globals STATIC ${KX_ZIG_LIB_DIR}/libcxxabi/src/cxa_exception_storage.cpp)
target_include_directories(kx_zig_exception_globals PRIVATE ${KX_ZIG_LIB_DIR}/libcxxabi/src
  ${KX_ZIG_LIB_DIR}/libcxxabi/include ${kx_unwind_dir}/include)
target_compile_definitions(kx_zig_exception_globals PRIVATE HAS_THREAD_LOCAL _LIBCXXABI_BUILDING_LIBRARY
  _LIBCPP_BUILDING_LIBRARY)
target_compile_options(kx_zig_exception_globals PRIVATE -ffunction-sections -fdata-sections)
target_link_libraries(kx_build_settings INTERFACE kx_zig_exception_globals)

# 3. Zig has the import library of newdev.dll (the package demo's) for x64 only. Its definition
# file names no processor, so the ARM64 one is made from it.
set(kx_import_dir ${CMAKE_BINARY_DIR}/zig-import-libraries)
if(NOT EXISTS ${kx_import_dir}/libnewdev.a)
  file(MAKE_DIRECTORY ${kx_import_dir})
  execute_process(COMMAND ${KX_ZIG_WRAPPERS}/zig dlltool -m arm64 -d ${KX_ZIG_LIB_DIR}/libc/mingw/lib64/newdev.def
                          -l ${kx_import_dir}/libnewdev.a
    COMMAND_ERROR_IS_FATAL ANY)
endif()
target_link_directories(kx_build_settings INTERFACE ${kx_import_dir})

# 4. Its compiler driver ignores -municode and always links the start-up code that calls main;
# kx_unicode_entry() gives such programs a main that calls wmain (see the file).
set(KX_ZIG_UNICODE_ENTRY ${CMAKE_CURRENT_LIST_DIR}/zig/unicode_entry.c)
