# Included by CTest (see XavGtestSuites.cmake): lists the suites of a test
# binary when it is newer than the list, then registers one test per suite.
if(NOT EXISTS "${XAV_SUITES_EXECUTABLE}")
  add_test("${XAV_SUITES_TARGET}_NOT_BUILT" "${XAV_SUITES_TARGET}_NOT_BUILT")
  return()
endif()
if(NOT EXISTS "${XAV_SUITES_FILE}" OR NOT "${XAV_SUITES_FILE}" IS_NEWER_THAN "${XAV_SUITES_EXECUTABLE}"
   OR NOT "${XAV_SUITES_FILE}" IS_NEWER_THAN "${CMAKE_CURRENT_LIST_FILE}")
  execute_process(COMMAND "${XAV_SUITES_EXECUTABLE}" --gtest_list_tests
    WORKING_DIRECTORY "${XAV_SUITES_WORKING_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE listing ERROR_VARIABLE errors TIMEOUT 60)
  if(NOT status EQUAL 0)
    # Registered as a failing test, so the run says which binary and why.
    string(REPLACE "\n" " " errors "${errors}")
    file(WRITE "${XAV_SUITES_FILE}"
      "add_test([==[${XAV_SUITES_TARGET}_LIST_FAILED]==] [==[${XAV_SUITES_CMAKE}]==] -E echo"
      " [==[${XAV_SUITES_EXECUTABLE} --gtest_list_tests: ${status} ${errors}]==])\n"
      "set_tests_properties([==[${XAV_SUITES_TARGET}_LIST_FAILED]==] PROPERTIES WILL_FAIL TRUE)\n")
  else()
    string(REPLACE "\n" ";" lines "${listing}")
    # Each test: a name and a filter, in the listing's order.
    set(names "")
    set(filters "")
    set(suite "")
    foreach(line IN LISTS lines)
      # Suite lines end with "." (a parameterised one may add a comment);
      # case lines are indented.
      if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
        set(suite "${CMAKE_MATCH_1}")
        set(split OFF)
        if(XAV_SUITES_SPLIT AND suite MATCHES "/")
          set(split ON)
        else()
          list(APPEND names "${XAV_SUITES_PREFIX}${XAV_SUITES_TARGET}.${suite}")
          list(APPEND filters "${suite}.*")
        endif()
      elseif(split AND line MATCHES "^  ([^ ]+)( .*)?$")
        # A case without a suffix is a test of its own.
        set(case "${CMAKE_MATCH_1}")
        set(name "${XAV_SUITES_PREFIX}${XAV_SUITES_TARGET}.${suite}.${case}")
        set(filter "${suite}.${case}")
        if(case MATCHES "_([^_/]+)$")
          set(name "${XAV_SUITES_PREFIX}${XAV_SUITES_TARGET}.${suite}.${CMAKE_MATCH_1}")
          set(filter "${suite}.*_${CMAKE_MATCH_1}")
        endif()
        # (CTest reads this with no policies set: no IN_LIST.)
        list(FIND names "${name}" known)
        if(known EQUAL -1)
          list(APPEND names "${name}")
          list(APPEND filters "${filter}")
        endif()
      endif()
    endforeach()
    set(content "")
    foreach(name filter IN ZIP_LISTS names filters)
      string(APPEND content
        "add_test([==[${name}]==] [==[${XAV_SUITES_EXECUTABLE}]==] [==[--gtest_filter=${filter}]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${XAV_SUITES_WORKING_DIR}]==]"
        " TIMEOUT ${XAV_SUITES_TIMEOUT} ENVIRONMENT [==[${XAV_SUITES_ENVIRONMENT}]==])\n")
    endforeach()
    file(WRITE "${XAV_SUITES_FILE}" "${content}")
  endif()
endif()
include("${XAV_SUITES_FILE}")
