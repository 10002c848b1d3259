# Included by src/CMakeLists.txt in a tree whose own compiler cannot harden the library (GCC 12:
# no Control Flow Guard, no load configuration, no CET flag; cmake/hardening.cmake). The toolchain
# in KX_LIBRARY_TOOLCHAIN_FILE builds the library, alone, in a tree of its own below this one
# (library/), and puts the DLL where this tree's own build of it would be: src/ of this tree. The
# tests, the driver package and the checks of this tree take it from there like any other DLL,
# so this tree's compiler builds everything else, the tests' copy of the library's code included.
include(ExternalProject)
set(kx_library_file ${CMAKE_CURRENT_BINARY_DIR}/KXBL_VNTRTZ71_2_2_0.dll)
set(kx_library_tree ${CMAKE_BINARY_DIR}/library)
ExternalProject_Add(kx_library_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${kx_library_tree}
  PREFIX ${CMAKE_CURRENT_BINARY_DIR}/kx_library_build
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${KX_LIBRARY_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
             -DKX_TRACE_TO_DEBUGGER=${KX_TRACE_TO_DEBUGGER} -DKX_BUILD_TESTS=OFF -DKX_LIBRARY_ONLY=ON
             -DKX_LIBRARY_OUTPUT_DIR=${CMAKE_CURRENT_BINARY_DIR}
  # The library tree builds the library alone (KX_LIBRARY_ONLY), and decides what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${kx_library_file}
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)
add_library(kx_library SHARED IMPORTED GLOBAL)
set_target_properties(kx_library PROPERTIES IMPORTED_LOCATION ${kx_library_file}
  IMPORTED_IMPLIB ${CMAKE_CURRENT_BINARY_DIR}/libKXBL_VNTRTZ71_2_2_0.dll.a)
add_dependencies(kx_library kx_library_build)
set(KX_LIBRARY_OBJECT_DIR ${kx_library_tree}/src/CMakeFiles CACHE INTERNAL "The library's object files")
