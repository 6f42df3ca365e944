# The whole firmware write through the firmware window against zq-sim, paced
# at 115200 baud and unpaced, and building its payloads.
add_executable(bench_firmware_write ${CMAKE_CURRENT_LIST_DIR}/bench_firmware_write.cpp)
target_link_libraries(bench_firmware_write PRIVATE zq_firmware_ui zq_testsupport)
add_dependencies(bench_firmware_write zq-sim)
target_compile_definitions(bench_firmware_write PRIVATE ZQ_SIM_PATH="$<TARGET_FILE:zq-sim>")
