# What the product is called and which version it is, for every part of the build: the library's
# resources, the driver packages, the installers and the tests that need the same names. The
# version and the publisher are the version record's (src/resources/library.rc), read here so that
# a new version needs a change in one place only.
set(KX_VERSION_RECORD ${PROJECT_SOURCE_DIR}/src/resources/library.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KX_VERSION_RECORD})
file(READ ${KX_VERSION_RECORD} kx_version_record)
if(NOT kx_version_record MATCHES "FILEVERSION[ \t]+([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)")
  message(FATAL_ERROR "No FILEVERSION in ${KX_VERSION_RECORD}")
endif()
set(KX_PRODUCT_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4})
if(NOT kx_version_record MATCHES "VALUE \"CompanyName\", +\"([^\"]+)\"")
  message(FATAL_ERROR "No CompanyName in ${KX_VERSION_RECORD}")
endif()
set(KX_MANUFACTURER ${CMAKE_MATCH_1})
foreach(processor X64 ARM64)
  if(NOT kx_version_record MATCHES "#define KX_${processor}_FILENAME +\"([^\"]+)\"")
    message(FATAL_ERROR "No ${processor} file name (KX_${processor}_FILENAME) in ${KX_VERSION_RECORD}")
  endif()
  set(KX_${processor}_PACKAGED_DLL ${CMAKE_MATCH_1})
endforeach()

# The installed library's file, the installers' files, and the family every release of the
# installers belongs to (a newer one replaces an older one).
set(KX_LIBRARY_FILE KXBL_VNTRTZ71_2_2_0.dll)
set(KX_X64_MSI KXVantorel-x64.msi)
set(KX_ARM64_MSI KXVantorel-arm64.msi)
set(KX_UPGRADE_CODE 3F0C7A52-6A0E-4D4B-9F7E-2B9E5F1C8A11)
set(KX_MAKE_MSI ${PROJECT_SOURCE_DIR}/package/msi/make_msi.sh)
