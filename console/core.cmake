# Pure console core (Qt Core only): command codes, payloads, answer decoding,
# per-edition facts. Shared by the five editions' windows, the command-line
# tool, the simulator and the fuzzers.
add_library(zq_console_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ConsoleCommand.h
  ${CMAKE_CURRENT_LIST_DIR}/Edition.h
  ${CMAKE_CURRENT_LIST_DIR}/Payloads.h
  ${CMAKE_CURRENT_LIST_DIR}/Payloads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnswerDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/AnswerDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnswerWatch.h
  ${CMAKE_CURRENT_LIST_DIR}/AnswerWatch.cpp)
target_include_directories(zq_console_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zq_console_core PUBLIC zq_frame Qt5::Core)
