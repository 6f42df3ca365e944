# One library per edition: that edition's MainWindow, found by ConnectionWindow
# through the include directory.
foreach(N 1 2 3 4 5)
  add_library(zq_console_ed${N} STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/edition${N}/MainWindow.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/edition${N}/MainWindow.h)
  target_include_directories(zq_console_ed${N} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/edition${N})
  target_link_libraries(zq_console_ed${N} PUBLIC zq_link zq_window_chrome Qt5::Widgets Qt5::SerialPort)
endforeach()
