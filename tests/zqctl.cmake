# zqctl: its pure parts, and the program itself against the simulated unit.
if(ZQ_BUILD_ZQCTL)
  zq_add_qtest(tst_zqctl_core SOURCES tst_zqctl_core.cpp LIBS zqctl_core)
  zq_add_qtest(tst_zqctl SOURCES tst_zqctl.cpp
               LIBS zqctl_core zq_sim_core zq_testsupport Qt5::Core TIMEOUT 240)
  add_dependencies(tst_zqctl zqctl)
endif()
