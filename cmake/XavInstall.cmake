# What `cmake --install` puts where. Included after all subdirectories.
#
#   bin/                              the four tools and the bench stand-ins a
#                                     user tries them against
#   libexec/xav-tools/bench/          stand-ins for the gateway platform's
#                                     utilities, under their Windows names
#   libexec/xav-tools/bench/path/     stand-ins for ping and ip (first on PATH
#                                     for a bench try of XAV_Cfg's Ethernet side)
#   share/applications/, share/icons/hicolor/
#                                     a desktop entry and an icon per tool
#   share/man/man1/                   a manual page per program in bin/, made
#                                     from its --help at build time and its own
#                                     sections in packaging/man/<program>.h2m
#   share/doc/xav-tools/              the user guide and the licence
#
# Test binaries and benchmark drivers are not installed.
include(GNUInstallDirs)

set(XAV_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/xav-tools)
set(XAV_BENCH_UTILITY_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xav-tools/bench)

# program;summary for the manual page's NAME line
set(XAV_INSTALLED_PROGRAMS
  "XAV_Cfg|configure one XAV gateway module over a serial port or over Ethernet"
  "XAVE|find XAV gateway modules on the network, configure them and change their IP address"
  "TVR_Polmon|scan and poll the TVR drive network on a serial port"
  "RVSIM|play the PLC of a Modbus/TCP installation for an XAV gateway"
  "xav-config|configure XAV gateway modules over Ethernet from a script"
  "xav-bench-modules|manage the simulated modules of the bench loader and discovery utility"
  "xav-configgen|print the Config.csv that a save to an XAV module would write"
  "xav-module-sim|simulated serial XAV module on a pseudo-terminal"
  "tvr-drive-sim|simulated TVR drive network on a pseudo-terminal"
  "xav-gateway-sim|simulated XAV gateway, a Modbus/TCP client of the PLC")
set(XAV_INSTALLED_UTILITIES bench_ruinet bench_ruiping)
# tool;desktop entry and icon name
set(XAV_DESKTOP_ENTRIES "XAV_Cfg|xav-cfg" "XAVE|xave" "TVR_Polmon|tvr-polmon" "RVSIM|rvsim")

find_program(XAV_HELP2MAN help2man)
if(XAV_HELP2MAN AND NOT XAV_SANITIZE)
  set(xav_man_default ON)
else()
  set(xav_man_default OFF)
endif()
option(XAV_MAN_PAGES "Make and install the manual pages (needs help2man)" ${xav_man_default})
if(XAV_MAN_PAGES AND NOT XAV_HELP2MAN)
  message(FATAL_ERROR "XAV_MAN_PAGES needs help2man (bash scripts/setup.sh installs it)")
endif()

set(XAV_INSTALLED_TARGETS ${XAV_INSTALLED_UTILITIES})
set(xav_man_pages)
set(XAV_USER_GUIDE ${CMAKE_INSTALL_FULL_DATAROOTDIR}/doc/xav-tools/user-guide.md)
configure_file(${CMAKE_SOURCE_DIR}/packaging/man/see-also.h2m.in ${CMAKE_BINARY_DIR}/man/see-also.h2m @ONLY)
foreach(entry IN LISTS XAV_INSTALLED_PROGRAMS)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 summary)
  if(NOT TARGET ${program})
    continue()  # a bench program whose library is missing (see bench/)
  endif()
  list(APPEND XAV_INSTALLED_TARGETS ${program})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(XAV_MAN_PAGES)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    # DESCRIPTION, FILES and EXAMPLES of each program; a new program adds
    # packaging/man/<program>.h2m (the package check wants all three).
    set(own ${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m)
    if(NOT EXISTS ${own})
      message(WARNING "${program}: no ${own}; its manual page lacks DESCRIPTION, FILES and EXAMPLES")
      set(own ${CMAKE_BINARY_DIR}/man/see-also.h2m)
    endif()
    add_custom_command(OUTPUT ${page}
      COMMAND sh ${CMAKE_SOURCE_DIR}/packaging/man/make_man_page.sh $<TARGET_FILE:${program}> ${summary}
              ${CMAKE_BINARY_DIR}/man/see-also.h2m ${page} ${own}
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/packaging/man/make_man_page.sh ${CMAKE_BINARY_DIR}/man/see-also.h2m ${own}
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND xav_man_pages ${page})
  endif()
endforeach()
install(TARGETS ${XAV_INSTALLED_UTILITIES} RUNTIME DESTINATION ${XAV_BENCH_UTILITY_DIR})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/bench/xave/fakebin/ping ${CMAKE_SOURCE_DIR}/bench/xavcfg/fakebin/ip
        DESTINATION ${XAV_BENCH_UTILITY_DIR}/path)
if(XAV_MAN_PAGES)
  add_custom_target(xav_man_pages ALL DEPENDS ${xav_man_pages})
  install(FILES ${xav_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

foreach(entry IN LISTS XAV_DESKTOP_ENTRIES)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 1 id)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/desktop/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/${id}.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/${id}-48.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/48x48/apps RENAME ${id}.png)
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/docs/user-guide.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${XAV_DOC_DIR})

# A package build makes only what it installs: every other program (tests,
# benchmark drivers, screenshot makers) leaves the default target.
option(XAV_INSTALLED_ONLY "Build only the installed programs by default (package builds)" OFF)
if(XAV_INSTALLED_ONLY)
  foreach(program IN LISTS XAV_PROGRAMS)
    if(NOT program IN_LIST XAV_INSTALLED_TARGETS)
      set_target_properties(${program} PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
  endforeach()
endif()
