# The declarative driver package (build/package-dch/), the one Microsoft can sign: the device's INF,
# the INF of its software component, and the per-machine installer of each processor whose library
# is packaged (from build/msi/). Version, date and installer names are the ones the co-installer
# package and the installers use. Included by package/CMakeLists.txt after msi/msi.cmake.
if(NOT TARGET kx_msi)
  message(STATUS "No installers: no DCH driver package built")
  return()
endif()
foreach(inf kxvantorel_dch kxvantorel_component)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${inf}.inf.in ${KX_DCH_PACKAGE_DIR}/${inf}.inf @ONLY NEWLINE_STYLE CRLF)
endforeach()

set(kx_dch_files)
foreach(processor X64 ARM64)
  set(packaged ${KX_DCH_PACKAGE_DIR}/${KX_${processor}_MSI})
  if(${KX_MSI_DIR}/${KX_${processor}_MSI} IN_LIST kx_msi_files)
    add_custom_command(OUTPUT ${packaged}
      COMMAND ${CMAKE_COMMAND} -E copy ${KX_MSI_DIR}/${KX_${processor}_MSI} ${packaged}
      DEPENDS ${KX_MSI_DIR}/${KX_${processor}_MSI}
      COMMENT "DCH driver package: ${KX_DCH_PACKAGE_DIR}")
    list(APPEND kx_dch_files ${packaged})
  else()
    # Not a leftover of an earlier configuration either.
    file(REMOVE ${packaged})
  endif()
endforeach()
add_custom_target(kx_dch_package ALL DEPENDS ${kx_dch_files})
add_dependencies(kx_dch_package kx_msi)
