# The pure firmware core: the stores HEX files are read into, bootloader
# payloads and answers.
zq_add_qtest(tst_hexfile SOURCES tst_hexfile.cpp LIBS zq_firmware_core)
zq_add_qtest(tst_bootloader_protocol SOURCES tst_bootloader_protocol.cpp LIBS zq_firmware_core)
