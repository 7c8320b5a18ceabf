# Checks of the product as a whole, run by the test command: the Windows
# syntax check of every product source and the Debian package.
if(NOT XAV_BUILD_TESTS)
  return()
endif()

# Qt's header root: the folder that holds QtCore/.
get_target_property(xav_qt_core_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
foreach(dir IN LISTS xav_qt_core_includes)
  if(dir MATCHES "/QtCore$")
    get_filename_component(XAV_QT_HEADERS ${dir} DIRECTORY)
  endif()
endforeach()
# The definitions that product targets get from the build go with it.
add_test(NAME windows_syntax_check
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/windows_syntax_check.sh ${XAV_QT_HEADERS}
          -DXAV_TOOLS_VERSION="${PROJECT_VERSION}")
# Sources that passed and have not changed since are not checked again; the
# others are checked in joined units, but for those the unity build keeps
# apart.
list(JOIN XAV_UNITY_APART " " xav_windows_apart)
set_tests_properties(windows_syntax_check PROPERTIES TIMEOUT 1200 COST 500
  ENVIRONMENT "XAV_WINDOWS_CHECK_CACHE=${CMAKE_BINARY_DIR}/windows-check;XAV_WINDOWS_CHECK_APART=${xav_windows_apart}")

# Builds the package in build-pkg/ beside the sources (kept between runs)
# and checks it unpacked. The longest test: started first.
option(XAV_TEST_PACKAGE "Build and check the Debian package in the tests" ON)
if(XAV_TEST_PACKAGE)
  add_test(NAME debian_package COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check_package.sh)
  set_tests_properties(debian_package PROPERTIES TIMEOUT 1800 COST 1000 RESOURCE_LOCK build_pkg)
endif()
