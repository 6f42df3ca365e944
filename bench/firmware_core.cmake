# Reading a full-size HEX image and building its write sequence.
add_executable(bench_write_sequence ${CMAKE_CURRENT_LIST_DIR}/bench_write_sequence.cpp)
target_link_libraries(bench_write_sequence PRIVATE zq_firmware_core zq_testsupport)
