# cmake -DPROGRAM=<path> -DVERSION=<x.y.z> -P check_program_info.cmake
# The program must answer --version with "<name> <version>" and --help with
# a usage line and the --version option, both with exit status 0, without a
# display.
set(ENV{DISPLAY} "")
set(ENV{WAYLAND_DISPLAY} "")
set(ENV{QT_QPA_PLATFORM} "")
execute_process(COMMAND ${PROGRAM} --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^[^\n ]+ ${VERSION}\n$")
  message(FATAL_ERROR "${PROGRAM} --version: status ${rc}, output '${out}', errors '${err}'")
endif()
execute_process(COMMAND ${PROGRAM} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: [^\n/]+\n" OR NOT out MATCHES "-v, --version")
  message(FATAL_ERROR "${PROGRAM} --help: status ${rc}, output '${out}', errors '${err}'")
endif()
