# A Debian package of the installation: `cpack -G DEB` in an AArch64 build
# directory gives libsve-2048_<version>_arm64.deb with prefix /usr (the host
# libraries in /usr/lib/libsve_2048, /usr/bin/sve-run, the manual page and the
# documentation). The DynamoRIO client is in it when the build has one; it runs
# with the DynamoRIO installation recorded at configuration, or the one
# SVE_DYNAMORIO_ROOT names.

set(CPACK_PACKAGE_NAME libsve-2048)
set(CPACK_PACKAGE_VERSION ${SVE_VERSION})
set(CPACK_PACKAGE_VENDOR "libsve_2048")
set(CPACK_PACKAGE_CONTACT "libsve_2048 maintainers <libsve-2048@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "runs AArch64 programs with SVE instructions on processors without SVE")
set(CPACK_PACKAGE_DESCRIPTION
    "libsve_2048 emulates the Scalable Vector Extension at a 2048-bit vector length. sve-run runs a program with the emulator: through an LD_PRELOAD library that emulates SVE instructions as they trap, or under DynamoRIO with the libsve_2048 client.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The package holds AArch64 code whatever machine built it.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|AARCH64|ARM64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# What the libraries link against (libc, libstdc++ of g++ 12); sve-run is bash.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, bash")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qemu-user")
set(CPACK_GENERATOR DEB)
include(CPack)
