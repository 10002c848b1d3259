# The per-machine installers (build/msi/): one for each processor whose library is packaged, from
# package/msi/kxvantorel.wxs by make_msi.sh, which takes the product's names and version from
# cmake/product.cmake.
# Included by package/CMakeLists.txt, whose variables it uses.
find_program(KX_WIXL wixl)
find_program(KX_MSIBUILD msibuild)
if(NOT KX_WIXL OR NOT KX_MSIBUILD)
  message(STATUS "No wixl/msibuild (Debian packages wixl, msitools): no installers built")
  return()
endif()

set(kx_msi_files)
foreach(processor X64 ARM64)
  set(output ${KX_MSI_DIR}/${KX_${processor}_MSI})
  if(processor IN_LIST kx_processors)
    string(TOLOWER ${processor} name)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KX_SOURCE_DATE_EPOCH} ${BASH} ${KX_MAKE_MSI} ${name} ${KX_${processor}_LIBRARY} ${output}
      DEPENDS ${KX_${processor}_LIBRARY} ${CMAKE_CURRENT_LIST_DIR}/kxvantorel.wxs ${KX_MAKE_MSI}
              ${PROJECT_SOURCE_DIR}/cmake/product.cmake
      COMMENT "Installer: ${output}" VERBATIM)
    list(APPEND kx_msi_files ${output})
  else()
    file(REMOVE ${output})
  endif()
endforeach()
add_custom_target(kx_msi ALL DEPENDS ${kx_msi_files})
