zq_add_qtest(tst_frame SOURCES tst_frame.cpp LIBS zq_frame)
zq_add_qtest(tst_uart SOURCES tst_uart.cpp LIBS zq_link zq_testsupport TIMEOUT 180)
