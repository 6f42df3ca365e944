# The firmware-update window: the Qt shell around zq_firmware_core.
add_library(zq_firmware_ui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/BootloaderWindow.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/BootloaderWindow.h)
target_include_directories(zq_firmware_ui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zq_firmware_ui PUBLIC zq_firmware_core zq_link zq_window_chrome
  Qt::Widgets Qt::SerialPort)
