# Robustness: faults on the wire, a long soak against the simulated unit, and
# reading HEX files, from sound ones to ones from hell.
zq_add_qtest(tst_hex_hell SOURCES tst_hex_hell.cpp LIBS zq_firmware_core TIMEOUT 300)
# Against zq-sim with its fault switches; one real 5-second answer wait. It
# measures time on the wire and CPU time, so it runs alone.
zq_add_qtest(tst_wire_faults
  SOURCES tst_wire_faults.cpp
  LIBS zq_start_window zq_console_ed5 zq_sim_core zq_testsupport
  SERIAL TIMEOUT 180)
# 100 000 exchanges with 1 % of the answers lost, in every build (about 30 s,
# 45 s under the address sanitizer); ZQ_SOAK_EXCHANGES changes the count.
zq_add_qtest(tst_soak SOURCES tst_soak.cpp LIBS zq_console_ed5 zq_sim_core Qt::Widgets
  TIMEOUT 600)
