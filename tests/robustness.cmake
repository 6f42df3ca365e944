# Robustness: faults on the wire, a long soak against the simulated unit, and
# HEX files from hell.
zq_add_qtest(tst_hex_hell SOURCES tst_hex_hell.cpp LIBS zq_firmware_core TIMEOUT 300)
