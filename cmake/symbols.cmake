# Debug symbols for the shipped DLL, in a PDB beside it (KX_LIBRARY_NAME.pdb in the tree's src/),
# so that a crash address from a customer's machine can be turned into a function and a source
# line. The DLL itself stays stripped: it gains only a CodeView debug-directory record that names
# the PDB by its file name and the GUID and age that pair the two. Two builds of the same sources
# in different folders give byte-identical objects, DLL and PDB (docs/toolchains.md, "Symbols");
# tests/check_binary.py --pdb proves that a PDB belongs to its DLL.
#
# src/CMakeLists.txt compiles the library's own objects with KX_SYMBOL_COMPILE_OPTIONS and links
# the DLL with KX_SYMBOL_LINK_OPTIONS; the test programs' own sources compile without them and
# their links write no PDB, which keeps the suite's build fast.

# LLD makes each relative name in the PDB absolute against the current folder, or against this
# one: "." keeps them relative to the source folder (src\common\trace.cpp), wherever the build ran.
# cmake/zig/c++ uses the same.
set(KX_PDB_SOURCE_PATH ".")
set(KX_SYMBOL_COMPILE_OPTIONS "")
set(KX_SYMBOL_LINK_OPTIONS "")
if(MSVC)
  # /Zi: the compiler's debug information goes to a PDB the linker merges; /DEBUG writes the DLL's
  # PDB (and would turn /OPT:REF and /OPT:ICF off, but kx_build_settings names both again);
  # /PDBALTPATH keeps the build folder out of the DLL.
  set(KX_SYMBOL_COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:C,CXX>:/Zi>)
  set(KX_SYMBOL_LINK_OPTIONS /DEBUG /PDBALTPATH:%_PDB%)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(KX_SYMBOL_COMPILE_OPTIONS
    # CodeView, the format of a PDB, in place of DWARF, which Windows' debuggers do not read.
    -g -gcodeview
    # The compiler's command line would carry the build folder's include paths into the PDB.
    -gno-codeview-command-line
    # Source names relative to the source folder (or to "build" for generated headers), and a
    # compilation folder of ".", so that no object names the folder it was built in.
    -fdebug-compilation-dir=. -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  # Not for the resource compiler, which shares the library's compile options.
  list(TRANSFORM KX_SYMBOL_COMPILE_OPTIONS REPLACE "^(.+)$" "$<$<COMPILE_LANGUAGE:C,CXX>:\\1>")
  if(KX_ZIG_LIB_DIR)
    # Asks cmake/zig/c++ for the PDB: it repeats Zig's link (for the guard option) with -DEBUG and
    # the same linker options as below, and says why each is there.
    set(KX_SYMBOL_LINK_OPTIONS -g)
  else()
    set(KX_SYMBOL_LINK_OPTIONS
      # A PDB named after the DLL, beside it (the empty value lets the linker choose that name).
      -Wl,--pdb=
      # The PE time stamp and the PDB's GUID are taken from a hash of the contents, not the clock.
      -Wl,--Xlink=-Brepro
      # The DLL's CodeView record names the PDB's file name only, not the build folder.
      -Wl,--Xlink=-pdbaltpath:%_PDB%
      # Relative source and object names in the PDB stay relative (KX_PDB_SOURCE_PATH, above).
      -Wl,--Xlink=-pdbsourcepath:${KX_PDB_SOURCE_PATH})
  endif()
endif()
