add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
target_link_libraries(bench_link PRIVATE zq_link zq_testsupport util)
add_executable(bench_frame ${CMAKE_CURRENT_LIST_DIR}/bench_frame.cpp)
target_link_libraries(bench_frame PRIVATE zq_frame)
# The edition-5 console, connected and at rest: CPU and resident memory.
add_executable(bench_console ${CMAKE_CURRENT_LIST_DIR}/bench_console.cpp)
target_link_libraries(bench_console PRIVATE zq_console_ed5 zq_testsupport Qt5::Widgets util)
