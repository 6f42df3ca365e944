zq_add_qtest(tst_connection_window
  SOURCES tst_connection_window.cpp
  LIBS zq_start_window zq_console_ed5 zq_testsupport)
# The simulated unit's answers against the programs' own answer handling.
zq_add_qtest(tst_sim_crosscheck SOURCES tst_sim_crosscheck.cpp
  LIBS zq_sim_core zq_console_core zq_firmware_core)
