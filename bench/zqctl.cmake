# A scripted firmware write with verification, as a production line runs it:
# zqctl against zq-sim paced at 115200 baud, timed against the line's minimum
# and against a bare replay of the same frames.
#   cmake --build <build> --target bench_zqctl
add_executable(bench_zqctl_floor ${CMAKE_CURRENT_LIST_DIR}/bench_zqctl_floor.cpp)
# RawPort.h alone: the replay stays free of Qt.
target_include_directories(bench_zqctl_floor PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
if(ZQ_BUILD_ZQCTL)
  add_custom_target(bench_zqctl
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_zqctl.sh $<TARGET_FILE:zqctl> $<TARGET_FILE:zq-sim>
            3 115200 $<TARGET_FILE:bench_zqctl_floor>
    DEPENDS zqctl zq-sim bench_zqctl_floor
    USES_TERMINAL)
  # The same write on 1, 4, 8 and 16 units at once from one zqctl process, and
  # what reading hostile HEX files costs it in memory.
  #   cmake --build <build> --target bench_zqctl_units bench_zqctl_files
  add_custom_target(bench_zqctl_units
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_zqctl_units.sh $<TARGET_FILE:zqctl>
            $<TARGET_FILE:zq-sim> "1 4 8 16" 3 115200
    DEPENDS zqctl zq-sim
    USES_TERMINAL)
  add_custom_target(bench_zqctl_files
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/bench_zqctl_files.sh $<TARGET_FILE:zqctl>
    DEPENDS zqctl
    USES_TERMINAL)
endif()
