# cmake -DPROGRAM=<path> -DNAME=<name> -DVERSION=<x.y.z> -DSHEET=<file> -P check_qt_options.cmake
# A windowed program takes Qt's standard options beside its own: with them
# it still answers --version and --help without a display, and its own
# parser still refuses what it does not know, naming only that.
set(ENV{DISPLAY} "")
set(ENV{WAYLAND_DISPLAY} "")
set(ENV{QT_QPA_PLATFORM} "")
file(WRITE ${SHEET} "QWidget { }\n")

execute_process(COMMAND ${PROGRAM} -style Fusion -stylesheet ${SHEET} -platform offscreen --version
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "${NAME} ${VERSION}\n")
  message(FATAL_ERROR "--version with Qt's options: status ${rc}, output '${out}', errors '${err}'")
endif()

execute_process(COMMAND ${PROGRAM} --help -style=Fusion --stylesheet=${SHEET} -reverse
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: ${NAME}")
  message(FATAL_ERROR "--help with Qt's options: status ${rc}, output '${out}', errors '${err}'")
endif()

# With a platform the application starts, takes its options, and the
# program's parser refuses the unknown one before any window opens.
execute_process(COMMAND ${PROGRAM} -platform offscreen -style Fusion -stylesheet ${SHEET} --no-such-option
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 2 OR NOT err MATCHES "Unknown option 'no-such-option'" OR err MATCHES "style|platform")
  message(FATAL_ERROR "Qt's options beside an unknown one: status ${rc}, errors '${err}'")
endif()

# A program with a headless mode runs it with Qt's options on the line and
# no display at all: the options are taken, not refused, and need no screen.
if(HEADLESS)
  file(WRITE ${SHEET}.in "quit\n")
  execute_process(COMMAND ${PROGRAM} --headless --port 0 -style Fusion -stylesheet ${SHEET} -platform xcb
    INPUT_FILE ${SHEET}.in RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "\"event\":\"listening\"")
    message(FATAL_ERROR "headless with Qt's options: status ${rc}, output '${out}', errors '${err}'")
  endif()
endif()
