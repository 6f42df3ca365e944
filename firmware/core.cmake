# The pure firmware-update core: HEX image, bootloader payloads, write
# sequences and answer handling. Qt Core only, so the tests, the fuzzers and
# the benchmarks link it without widgets.
add_library(zq_firmware_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BootloaderCommand.h
  ${CMAKE_CURRENT_LIST_DIR}/BootloaderProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BootloaderProtocol.h
  ${CMAKE_CURRENT_LIST_DIR}/PICProgram.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirstIndex.h
  ${CMAKE_CURRENT_LIST_DIR}/HexRecord.h
  ${CMAKE_CURRENT_LIST_DIR}/PICProgram.h
  ${CMAKE_CURRENT_LIST_DIR}/Pic18Memory.h
)
target_include_directories(zq_firmware_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zq_firmware_core PUBLIC Qt5::Core)
