zq_add_qtest(tst_connection_window
  SOURCES tst_connection_window.cpp ${PROJECT_SOURCE_DIR}/app/ConnectionWindow.cpp
  LIBS zq_console_ed5 zq_firmware_ui zq_app_core zq_window_chrome zq_link zq_testsupport
       Qt::Widgets)
# The simulated unit's answers against the programs' own answer handling.
zq_add_qtest(tst_sim_crosscheck SOURCES tst_sim_crosscheck.cpp
  LIBS zq_sim_core zq_console_core zq_firmware_core)
