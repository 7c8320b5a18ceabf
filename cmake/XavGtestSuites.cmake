# xav_discover_gtest_suites(TARGET [TIMEOUT s] [ENVIRONMENT var=value]
#                           [PREFIX text] [SPLIT_BY_SUFFIX]): one CTest test
# per GoogleTest suite of TARGET, named "PREFIXTARGET.Suite", which runs the
# suite's cases in one process (--gtest_filter=Suite.*). A process per case
# cost a sanitized start, a QApplication and a leak check each: a third of
# the tests' CPU. With SPLIT_BY_SUFFIX a parameterised suite ("A/B") gets a
# test per suffix of its case names (the text after the last "_"), named
# "PREFIXTARGET.Suite.suffix". The suites are listed when CTest runs, from
# the built binary, as gtest_discover_tests(... DISCOVERY_MODE PRE_TEST) does.
function(xav_discover_gtest_suites target)
  cmake_parse_arguments(S "SPLIT_BY_SUFFIX" "TIMEOUT;ENVIRONMENT;PREFIX" "" ${ARGN})
  if(NOT S_TIMEOUT)
    set(S_TIMEOUT 600)
  endif()
  string(MAKE_C_IDENTIFIER "${S_PREFIX}${target}" stem)
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${stem}_suites")
  file(GENERATE OUTPUT "${base}_include.cmake" CONTENT
"set(XAV_SUITES_EXECUTABLE [==[$<TARGET_FILE:${target}>]==])
set(XAV_SUITES_TARGET [==[${target}]==])
set(XAV_SUITES_PREFIX [==[${S_PREFIX}]==])
set(XAV_SUITES_SPLIT [==[${S_SPLIT_BY_SUFFIX}]==])
set(XAV_SUITES_FILE [==[${base}_tests.cmake]==])
set(XAV_SUITES_WORKING_DIR [==[${CMAKE_CURRENT_BINARY_DIR}]==])
set(XAV_SUITES_TIMEOUT [==[${S_TIMEOUT}]==])
set(XAV_SUITES_ENVIRONMENT [==[${S_ENVIRONMENT}]==])
set(XAV_SUITES_CMAKE [==[${CMAKE_COMMAND}]==])
include([==[${PROJECT_SOURCE_DIR}/cmake/gtest_suites_discover.cmake]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${base}_include.cmake")
endfunction()
