# The product's names and version, defined here once for every part of the build: the library's
# resources, code and export list (through the generated kx_product.h and the .def), the driver
# packages' INFs, the installers, and the scripts that package and sign (cmake/product.sh reads
# this file). Tests keep expectations of their own. A new release changes KX_VERSION here only.
set(KX_VERSION 2.2.0.5)
set(KX_PUBLISHER "Corvanta Corporation")
set(KX_PRODUCT_NAME "KX Vantorel TZ7100 Network Explorer integration")
set(KX_HARDWARE_ID "VEN_011A&DEV_0080&REV_01")
set(KX_DEVICE_TYPE "urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ71")
set(KX_LIBRARY_FILE "KXBL_VNTRTZ71_2_2_0.dll")
set(KX_X64_PACKAGED_DLL "KXBL_VNTRTZ71-x64.dll")
set(KX_ARM64_PACKAGED_DLL "KXBL_VNTRTZ71-arm64.dll")
set(KX_X64_MSI "KXVantorel-x64.msi")
set(KX_ARM64_MSI "KXVantorel-arm64.msi")
# The family every release of the installers belongs to: a newer one replaces an older one.
set(KX_UPGRADE_CODE "3F0C7A52-6A0E-4D4B-9F7E-2B9E5F1C8A11")

# Derived forms.
set(KX_PRODUCT_VERSION ${KX_VERSION})
set(KX_MANUFACTURER ${KX_PUBLISHER})
string(REPLACE "." ", " KX_VERSION_FIELDS ${KX_VERSION})
string(REGEX REPLACE "\\.dll$" "" KX_LIBRARY_NAME ${KX_LIBRARY_FILE})
set(KX_MAKE_MSI ${PROJECT_SOURCE_DIR}/package/msi/make_msi.sh)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_FILE})
