# The Debian package xav-tools_<version>_<arch>.deb (scripts/package.sh
# configures the build for it: Release, no sanitizers, no tests, prefix /usr).
# Runtime dependencies come from dpkg-shlibdeps over the installed programs.

set(XAV_MAINTAINER "XAV tools maintainers <xav-tools@example.com>")
set(XAV_RVSIM_PATH ${CMAKE_INSTALL_FULL_BINDIR}/RVSIM)
set(xav_debian ${CMAKE_BINARY_DIR}/debian)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/postinst.in ${xav_debian}/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${xav_debian}/changelog @ONLY)
# Debian wants the changelog compressed without a time stamp.
add_custom_command(OUTPUT ${xav_debian}/changelog.gz
  COMMAND gzip -9n -c ${xav_debian}/changelog > ${xav_debian}/changelog.gz
  DEPENDS ${xav_debian}/changelog)
add_custom_target(xav_debian_changelog ALL DEPENDS ${xav_debian}/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${xav_debian}/changelog.gz DESTINATION ${XAV_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xav-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The XAV tools authors")
set(CPACK_PACKAGE_CONTACT "${XAV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${XAV_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tools for the XAV gateway module and TVR drives")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Desktop tools for commissioning and servicing the XAV gateway module and"
  "its network of TVR distributor drives: XAV_Cfg and XAVE configure modules"
  "over a serial port or over Ethernet, TVR_Polmon polls the drive network"
  "from a serial port, and RVSIM plays the PLC of a Modbus/TCP installation"
  "on port 502."
  ""
  "Bench stand-ins of the modules, the drives, the gateway and the gateway"
  "platform's utilities let every tool be tried without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows need Qt's platform plugins, which no library scan can find.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# setcap, for RVSIM's port 502 without root.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${xav_debian}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
