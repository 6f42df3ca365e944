# The simulated unit: its pure behaviour, and the zq-sim program on a real pseudo-terminal.
zq_add_qtest(tst_sim_unit SOURCES tst_sim_unit.cpp LIBS zq_sim_core zq_frame)
zq_add_qtest(tst_sim_process SOURCES tst_sim_process.cpp LIBS zq_frame Qt::Core)
