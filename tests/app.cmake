zq_add_qtest(tst_connection_window
  SOURCES tst_connection_window.cpp ${PROJECT_SOURCE_DIR}/app/ConnectionWindow.cpp
  LIBS zq_console_ed5 zq_firmware_ui zq_app_core zq_window_chrome zq_link zq_testsupport
       Qt5::Widgets)
