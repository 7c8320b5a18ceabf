# Test body for the widget-free cores (see CoreProbe.cmake).
#  -DUNPROBED="a;b": fails when any core target has no probe.
#  -DPROBE=file -DREPORT=file: runs the probe, then fails when the core's
#   link closure or the probe's loaded libraries hold Qt Gui or Widgets.
if(DEFINED UNPROBED)
  if(NOT UNPROBED STREQUAL "")
    message(FATAL_ERROR "core targets without a probe (xav_core_probe): ${UNPROBED}")
  endif()
  message(STATUS "every core target has a probe")
  return()
endif()

execute_process(COMMAND ${PROBE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "probe ${PROBE} failed (${rc}): ${out}${err}")
endif()

file(READ ${REPORT} bad)
if(NOT bad STREQUAL "")
  message(FATAL_ERROR "the core links ${bad}")
endif()

find_program(LDD ldd)
if(LDD)
  execute_process(COMMAND ${LDD} ${PROBE} OUTPUT_VARIABLE libs RESULT_VARIABLE lrc)
  if(lrc EQUAL 0 AND libs MATCHES "libQt6(Gui|Widgets|OpenGL)")
    message(FATAL_ERROR "the probe loads a display library:\n${libs}")
  endif()
endif()
message(STATUS "probe ran; no Qt Gui or Widgets reached")
