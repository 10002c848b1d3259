# The per-machine installers (build/msi/): one for each processor whose library this tree has,
# from package/msi/kxvantorel.wxs. Version and publisher come from the library's version record,
# as the driver package's do. Included by package/CMakeLists.txt, whose variables it uses.
find_program(KX_WIXL wixl)
find_program(KX_MSIBUILD msibuild)
if(NOT KX_WIXL OR NOT KX_MSIBUILD)
  message(STATUS "No wixl/msibuild (Debian packages wixl, msitools): no installers built")
  return()
endif()
if(NOT version_record MATCHES "VALUE \"CompanyName\", +\"([^\"]+)\"")
  message(FATAL_ERROR "No CompanyName in ${KX_VERSION_RECORD}")
endif()
set(KX_MANUFACTURER ${CMAKE_MATCH_1} CACHE INTERNAL "The publisher of the installers")
set(KX_MSI_DIR ${CMAKE_BINARY_DIR}/msi CACHE INTERNAL "The per-machine installers")
set(KX_PRODUCT_VERSION ${KX_DRIVER_VERSION} CACHE INTERNAL "The version of the library and its installers")
# Every release of the installers belongs to this family: a newer one replaces an older one.
set(KX_UPGRADE_CODE 3F0C7A52-6A0E-4D4B-9F7E-2B9E5F1C8A11 CACHE INTERNAL "The installers' upgrade code")
set(KX_MAKE_MSI ${CMAKE_CURRENT_SOURCE_DIR}/msi/make_msi.sh CACHE INTERNAL "Builds one installer")
set(kx_msi_source ${CMAKE_CURRENT_SOURCE_DIR}/msi/kxvantorel.wxs)

# The installers' file names; the DCH package's component INF names them too.
set(KX_X64_MSI KXVantorel-x64.msi)
set(KX_ARM64_MSI KXVantorel-arm64.msi)

# kx_add_msi(<processor> <library file or generator expression> <dependency>)
function(kx_add_msi processor library dependency)
  string(TOUPPER ${processor} upper)
  set(output ${KX_MSI_DIR}/${KX_${upper}_MSI})
  add_custom_command(OUTPUT ${output}
    COMMAND ${BASH} ${KX_MAKE_MSI} ${processor} ${library} ${output} ${KX_DRIVER_VERSION} "${KX_MANUFACTURER}"
            ${KX_UPGRADE_CODE}
    DEPENDS ${dependency} ${kx_msi_source} ${KX_MAKE_MSI}
    COMMENT "Installer: ${output}" VERBATIM)
  set(kx_msi_files ${kx_msi_files} ${output} PARENT_SCOPE)
endfunction()

find_program(BASH bash REQUIRED)
set(kx_msi_files)
kx_add_msi(${KX_ARCHITECTURE} $<TARGET_FILE:kx_library> kx_library)
string(TOLOWER ${kx_other} kx_other_processor)
if(EXISTS "${KX_${kx_other}_LIBRARY}")
  kx_add_msi(${kx_other_processor} ${KX_${kx_other}_LIBRARY} ${KX_${kx_other}_LIBRARY})
else()
  file(REMOVE ${KX_MSI_DIR}/${KX_${kx_other}_MSI})
endif()
add_custom_target(kx_msi ALL DEPENDS ${kx_msi_files})
