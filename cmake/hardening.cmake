# The shipped library's hardening, linked by its targets (src/CMakeLists.txt): Control Flow Guard,
# a stack protector whose cookie the loader randomises, shadow-stack compatibility on x64, and NX
# and ASLR with high entropy, said explicitly though every toolchain here sets them by default.
# tests/check_binary.py proves each of them on the built DLL; docs/integrators.md ("Hardening")
# says what only Windows can show.
#
# GCC 12 for mingw-w64 has no Control Flow Guard and GNU ld no load configuration or CET flag, so
# the GCC tree's library is not hardened, and not shipped: the hardening checks run on the
# hardened trees only (KX_HARDENED, tests/CMakeLists.txt). Clang's runtimes here lack the load
# configuration, the guard pointers and a cookie that the loader replaces:
# src/coinstaller/startup/security_runtime.c supplies them (kx_security_runtime, src/CMakeLists.txt).
add_library(kx_hardening INTERFACE)
if(MSVC)
  target_compile_options(kx_hardening INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:/guard:cf /GS>)
  target_link_options(kx_hardening INTERFACE /guard:cf /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT
    $<$<STREQUAL:${KX_ARCHITECTURE},x64>:/CETCOMPAT>)
  set(KX_HARDENED ON)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(kx_hardening INTERFACE
    $<$<COMPILE_LANGUAGE:C,CXX>:-mguard=cf -fstack-protector-strong>)
  # -mguard=cf at the link: lld's --guard-cf (Zig's driver drops it: cmake/zig/c++ relinks).
  target_link_options(kx_hardening INTERFACE -mguard=cf
    -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)
  if(KX_ARCHITECTURE STREQUAL "x64")
    target_link_options(kx_hardening INTERFACE -Wl,--Xlink=-cetcompat)
  endif()
  set(KX_HARDENED ON)
else()
  set(KX_HARDENED OFF)
endif()
