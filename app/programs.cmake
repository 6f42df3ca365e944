# The start window's settings mapping.
add_library(zq_app_core STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSettings.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PortSettings.h)
target_include_directories(zq_app_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zq_app_core PUBLIC Qt5::SerialPort)

# The five programs share the start window's source; each is compiled against
# its own edition's MainWindow.
foreach(N 1 2 3 4 5)
  add_executable(console${N}
    ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ConnectionWindow.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ConnectionWindow.h)
  target_link_libraries(console${N} PRIVATE zq_console_ed${N} zq_firmware_ui zq_app_core
    zq_window_chrome zq_link Qt5::Widgets Qt5::SerialPort)
endforeach()
