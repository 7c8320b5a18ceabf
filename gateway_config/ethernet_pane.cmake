# The Ethernet protocol pane shared by the XAV_Cfg and XAVE windows.
add_library(xav_ethernet_pane STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ethernet_pane.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ethernet_pane.h)
target_include_directories(xav_ethernet_pane PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(xav_ethernet_pane PUBLIC xav_gateway_config xav_common Qt6::Widgets)

xav_add_gtest(ethernet_pane_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ethernet_pane_tests.cpp
  LIBS xav_ethernet_pane)
