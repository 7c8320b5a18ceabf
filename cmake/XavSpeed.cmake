# Build speed: ccache when installed, optimisation suited to sanitized test
# builds, and precompiled Qt/STL headers. Included before the subdirectories
# (ccache, flags) and applied after them (headers): xav_speed_up_all() gives
# every target of the tree its precompiled header, so a new library, program
# or test gets it without a line of its own. xav_speed_up(<target>) does the
# same for one target (e.g. one defined after the top-level file ends).
#
# Options:
#   XAV_CCACHE (ON)      use ccache when it is installed and no launcher is set
#   XAV_PCH (ON)         precompiled headers
#   XAV_FAST_SANITIZE (ON) in sanitized RelWithDebInfo builds: -O1 for product
#                        code, -O0 and no UndefinedBehaviorSanitizer for test
#                        code, line tables only (-g1)
#   XAV_FAST_LINK (ON with the tests) link with lld when it is installed
#   XAV_UNITY (ON)       compile the sources of each library and program
#                        (tests too) in batches of XAV_UNITY_BATCH (8); a
#                        target whose sources clash when joined sets its
#                        property XAV_NO_UNITY, a single source goes in
#                        XAV_UNITY_APART (test files whose helpers share a
#                        name with another file's are there).

option(XAV_CCACHE "Use ccache when it is installed" ON)
option(XAV_PCH "Precompile the Qt and standard headers" ON)
option(XAV_FAST_SANITIZE "Sanitized builds: -O1 product code, -O0 tests, line tables only" ON)
option(XAV_UNITY "Join each target's sources into a few translation units" ON)
set(XAV_UNITY_BATCH 8 CACHE STRING "Sources per joined translation unit")
# Sources compiled on their own in a unity build, because a name of their
# anonymous namespace is also one of another source of the same target
# (paths from the top of the tree).
set(XAV_UNITY_APART
  gateway_config/module_discovery.cpp
  gateway_config/network_settings.cpp
  tvr_polmon/timeline_window.cpp
  xav_cfg/xav_cfg_window_ethernet.cpp
  gateway_config/tests/history_commands_tests.cpp
  gateway_config/tests/utility_runner_tests.cpp
  rvsim/tests/headless_tests.cpp
  rvsim/tests/simulator_tests.cpp
  xav_cfg/tests/serial_verify_bench_tests.cpp
  xav_cfg/tests/window_layout_history_tests.cpp)

if(XAV_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(XAV_CCACHE_PROGRAM ccache)
  if(XAV_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${XAV_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${XAV_CCACHE_PROGRAM})
  endif()
endif()
# ccache caches compiles that use a precompiled header only with this
# sloppiness; without it every such compile runs uncached.
if(XAV_PCH AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache$")
  find_program(XAV_ENV_PROGRAM env)
  if(XAV_ENV_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${XAV_ENV_PROGRAM}
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        ${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
endif()

# The sanitized build is there to run the tests. Optimising the test code
# (GoogleTest's expansions, under the sanitizers' instrumentation) costs
# most of the build time and buys nothing; the product code keeps -O1, as
# the sanitizers recommend, so it runs at a fair speed.
set(XAV_TEST_OPT "")
if(XAV_SANITIZE AND XAV_FAST_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
  set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  # UndefinedBehaviorSanitizer instruments the product code, which the tests
  # exercise; in the test code itself it was a third of each compile.
  # AddressSanitizer stays on everywhere.
  set(XAV_TEST_OPT -O0 -fno-sanitize=undefined)
endif()

# The test build links some fifty programs against the sanitizer runtimes:
# lld does it in under half the time of ld.bfd. The package keeps the
# system's default linker.
option(XAV_FAST_LINK "Link with lld when installed (builds with tests)" ${XAV_BUILD_TESTS})
if(XAV_FAST_LINK AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  find_program(XAV_LLD_PROGRAM ld.lld)
  if(XAV_LLD_PROGRAM)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

set(XAV_PCH_HEADERS
  <algorithm> <functional> <memory> <optional> <string> <utility> <vector>
  <QtCore/QByteArray> <QtCore/QDateTime> <QtCore/QDir> <QtCore/QFile> <QtCore/QFileInfo>
  <QtCore/QHash> <QtCore/QList> <QtCore/QMap> <QtCore/QObject> <QtCore/QProcess>
  <QtCore/QRegularExpression> <QtCore/QString> <QtCore/QStringList> <QtCore/QTimer>
  <QtCore/QVariant>)
set(XAV_PCH_WIDGET_HEADERS
  <QtGui/QColor> <QtGui/QFont> <QtGui/QPalette>
  <QtWidgets/QApplication> <QtWidgets/QCheckBox> <QtWidgets/QComboBox> <QtWidgets/QGroupBox>
  <QtWidgets/QLabel> <QtWidgets/QLayout> <QtWidgets/QLineEdit> <QtWidgets/QListWidget>
  <QtWidgets/QPushButton> <QtWidgets/QRadioButton> <QtWidgets/QWidget>)
# QtTest's own headers stay out: they test QT_TESTCASE_BUILDDIR, which
# differs between folders and would make the header unusable.
set(XAV_PCH_TEST_HEADERS <gtest/gtest.h>)

# A precompiled header costs as much as a big source and 190 MB, so it is
# made once per kind of target (product or test, with widgets or without, and
# the target's own compile options) by a host target of that kind, and every
# target of the kind reuses it, whatever its size. gcc takes a header made
# without a macro for a source that defines it, as long as the header never
# tests it: the host is made with the fewest macros (none of a target's own,
# no QtTest, whose folder macros differ from target to target), so that all
# of its kind can use it. -Winvalid-pch (CMake's) says when one cannot.

function(_xav_links target item out_var)
  set(seen "")
  set(queue ${target})
  set(found OFF)
  while(queue)
    list(POP_FRONT queue t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    if(t STREQUAL item)
      set(found ON)
      break()
    endif()
    get_target_property(type ${t} TYPE)
    set(libs "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND libs ${direct})
      endif()
    endif()
    get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND libs ${iface})
    endif()
    foreach(lib IN LISTS libs)
      string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" lib "${lib}")
      if(NOT lib MATCHES "^\\$<")
        list(APPEND queue ${lib})
      endif()
    endforeach()
  endwhile()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# Whether AUTOMOC would find anything in TARGET: a source, a header it lists,
# or the header beside a source (same name, as AUTOMOC pairs them) that
# declares a meta-object or includes a moc file. A target without one would
# still get a moc step and an empty unit that loads the precompiled header:
# over a second each, for most of the tests.
function(_xav_needs_moc target sources dir out_var)
  set(files "")
  foreach(src IN LISTS sources)
    if(src MATCHES "^\\$<")
      set(${out_var} ON PARENT_SCOPE)  # not known before generation
      return()
    endif()
    get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${dir})
    list(APPEND files ${abs})
    if(abs MATCHES "\\.(cpp|cc|cxx)$")
      get_filename_component(base ${abs} NAME_WLE)
      get_filename_component(folder ${abs} DIRECTORY)
      foreach(ext h hpp hxx)
        list(APPEND files ${folder}/${base}.${ext} ${folder}/${base}_p.${ext})
      endforeach()
    endif()
  endforeach()
  foreach(file IN LISTS files)
    if(EXISTS ${file} AND NOT IS_DIRECTORY ${file})
      file(STRINGS ${file} hits LIMIT_COUNT 1
           REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE|Q_PLUGIN_METADATA|#[ \t]*include[ \t]+[\"<][^\">]*(\\.moc|moc_[^\">]*)[\">]")
      if(hits)
        set(${out_var} ON PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out_var} OFF PARENT_SCOPE)
endfunction()

function(xav_speed_up target)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
    return()
  endif()
  get_target_property(done ${target} XAV_SPED_UP)
  if(done)
    return()
  endif()
  set_target_properties(${target} PROPERTIES XAV_SPED_UP ON)
  _xav_links(${target} GTest::gtest is_test)
  if(is_test AND XAV_TEST_OPT)
    target_compile_options(${target} PRIVATE ${XAV_TEST_OPT})
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  list(LENGTH cpp n)
  _xav_needs_moc(${target} "${sources}" ${dir} needs_moc)
  if(NOT needs_moc)
    set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  endif()
  # Most of a compile here is spent in the Qt headers and their templates;
  # joined sources pay for them once per batch. Batches
  # rather than one file per target keep both cores busy on big targets.
  get_target_property(no_unity ${target} XAV_NO_UNITY)
  if(XAV_UNITY AND NOT no_unity AND n GREATER 1)
    set_target_properties(${target} PROPERTIES
      UNITY_BUILD ON UNITY_BUILD_MODE BATCH UNITY_BUILD_BATCH_SIZE ${XAV_UNITY_BATCH})
    # Joined, a source counts as an included file, so gcc takes a class of
    # its anonymous namespace used by another for one shared by a header.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
    foreach(src IN LISTS cpp)
      get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${dir})
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${abs})
      if(rel IN_LIST XAV_UNITY_APART)
        set_source_files_properties(${abs} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endforeach()
  endif()
  if(NOT XAV_PCH OR n EQUAL 0)
    return()
  endif()
  _xav_links(${target} Qt6::Core uses_qt)
  if(NOT uses_qt)
    return()
  endif()
  # A core target gets no widget headers: its probe proves it needs none.
  _xav_links(${target} Qt6::Widgets uses_widgets)
  _xav_pch_host(${target} ${is_test} ${uses_widgets} host)
  target_precompile_headers(${target} REUSE_FROM ${host})
endfunction()

# The host of the precompiled header for targets like TARGET (see above):
# made the first time a target of its kind asks for it.
function(_xav_pch_host target is_test uses_widgets out_var)
  get_target_property(options ${target} COMPILE_OPTIONS)
  if(NOT options)
    set(options "")
  endif()
  # Warnings do not change what a header means; any other option might.
  list(FILTER options EXCLUDE REGEX "-W")
  set(kind "core")
  set(libs Qt6::Core)
  set(headers ${XAV_PCH_HEADERS})
  if(uses_widgets)
    set(kind "widgets")
    list(APPEND libs Qt6::Widgets)
    list(APPEND headers ${XAV_PCH_WIDGET_HEADERS})
  endif()
  if(is_test)
    string(PREPEND kind "test_")
    list(APPEND libs GTest::gtest)
    list(APPEND headers ${XAV_PCH_TEST_HEADERS})
  endif()
  if(options)
    string(MD5 hash "${options}")
    string(SUBSTRING ${hash} 0 8 hash)
    string(APPEND kind "_${hash}")
  endif()
  set(host xav_pch_${kind})
  if(NOT TARGET ${host})
    set(source ${CMAKE_BINARY_DIR}/xav_pch/${kind}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Host of a shared precompiled header.\n")
    add_library(${host} OBJECT ${source})
    set_target_properties(${host} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF XAV_SPED_UP ON)
    target_link_libraries(${host} PRIVATE ${libs})
    target_compile_options(${host} PRIVATE ${options})
    target_precompile_headers(${host} PRIVATE ${headers})
  endif()
  set(${out_var} ${host} PARENT_SCOPE)
endfunction()

function(xav_speed_up_all dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    xav_speed_up(${t})
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    xav_speed_up_all(${sub})
  endforeach()
endfunction()
