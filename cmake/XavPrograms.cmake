# Every program of the tree (tools, bench stand-ins, benchmark drivers; not
# the test binaries) says its name and version and answers --help and
# --version through common/app_info.h. Included after all subdirectories.

# xav_collect_programs(<out-var> <dir>): the executable targets defined in dir
# and below that are programs: not test binaries (those link GoogleTest), the
# probes of the core targets (*_probe) or a fuzz target (*_fuzzer), which
# have mains of their own kind.
function(xav_collect_programs out dir)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(NOT type STREQUAL "EXECUTABLE" OR t MATCHES "_(probe|fuzzer)$")
      continue()
    endif()
    get_target_property(libs ${t} LINK_LIBRARIES)
    if(libs AND "GTest::gtest" IN_LIST libs)
      continue()
    endif()
    list(APPEND found ${t})
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    xav_collect_programs(below ${sub})
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

xav_collect_programs(XAV_PROGRAMS ${CMAKE_SOURCE_DIR})
foreach(program IN LISTS XAV_PROGRAMS)
  target_link_libraries(${program} PRIVATE xav_app_info)
endforeach()

# Each program answers --version with its name and the version, and --help
# with a usage line, without a display.
if(XAV_BUILD_TESTS)
  foreach(program IN LISTS XAV_PROGRAMS)
    add_test(NAME program_info.${program}
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DVERSION=${PROJECT_VERSION}
              -P ${CMAKE_CURRENT_LIST_DIR}/check_program_info.cmake)
    set_tests_properties(program_info.${program} PROPERTIES TIMEOUT 90)
  endforeach()
endif()
