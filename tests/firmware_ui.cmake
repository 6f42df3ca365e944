# The firmware window through its widgets: against a scripted peer on a
# pseudo-terminal, and end to end against the simulated unit.
zq_add_qtest(tst_bootloader_window SOURCES tst_bootloader_window.cpp
  LIBS zq_firmware_ui zq_testsupport)
# A whole unpaced image write and its read-back take a few seconds at most.
zq_add_qtest(tst_bootloader_window_sim SOURCES tst_bootloader_window_sim.cpp
  LIBS zq_firmware_ui TIMEOUT 40)
# With a larger text setting (125, 150 and 200 %) no text of the window is cut.
# Unscaled, so that the larger setting gives larger text: Qt 6 would otherwise
# turn it into a scale factor and lay the window out at 96 dpi.
foreach(dpi 120 144 192)
  add_test(NAME tst_bootloader_window_dpi${dpi} COMMAND tst_bootloader_window textFits)
  set_tests_properties(tst_bootloader_window_dpi${dpi} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=${dpi};QT_ENABLE_HIGHDPI_SCALING=0" TIMEOUT 60)
endforeach()
