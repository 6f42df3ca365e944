# The firmware window through its widgets: against a scripted peer on a
# pseudo-terminal, and end to end against the simulated unit.
zq_add_qtest(tst_bootloader_window SOURCES tst_bootloader_window.cpp
  LIBS zq_firmware_ui zq_testsupport)
# A whole unpaced image write and its read-back take a few seconds at most.
zq_add_qtest(tst_bootloader_window_sim SOURCES tst_bootloader_window_sim.cpp
  LIBS zq_firmware_ui TIMEOUT 40)
