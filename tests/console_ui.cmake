# The console windows through their widgets, against a scripted unit on a
# pseudo-terminal and against the simulated unit. One executable per edition:
# each edition's window is its own MainWindow class.
foreach(N 1 2 3 4 5)
  zq_add_qtest(tst_console_edition${N} SOURCES tst_console_edition.cpp
    LIBS zq_console_ed${N} zq_testsupport Qt::Widgets TIMEOUT 180)
endforeach()
zq_add_qtest(tst_console_window SOURCES tst_console_window.cpp
  LIBS zq_console_ed5 zq_testsupport Qt::Widgets)
