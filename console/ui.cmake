# Shared window parts (message and information columns, control-row groups,
# session, password gate, answer view, the console window's shared slots) and
# one MainWindow library per edition, each defining the kProgramConsole that
# the start window opens.
add_library(zq_console_parts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/parts/ConsoleShell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parts/ConsoleShell.h
  ${CMAKE_CURRENT_LIST_DIR}/parts/ControlRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parts/ControlRows.h
  ${CMAKE_CURRENT_LIST_DIR}/parts/TriggerRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parts/TriggerRows.h
  ${CMAKE_CURRENT_LIST_DIR}/parts/ControlColumns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parts/ControlColumns.h
  ${CMAKE_CURRENT_LIST_DIR}/parts/SuperUserGate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parts/SuperUserGate.h
  ${CMAKE_CURRENT_LIST_DIR}/parts/ProgramConsole.h)
target_include_directories(zq_console_parts PUBLIC ${CMAKE_CURRENT_LIST_DIR}/parts)
target_link_libraries(zq_console_parts PUBLIC zq_console_core zq_link zq_window_chrome
  zq_resources Qt::Widgets Qt::SerialPort)

foreach(N 1 2 3 4 5)
  add_library(zq_console_ed${N} STATIC
    ${CMAKE_CURRENT_LIST_DIR}/edition${N}/MainWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/edition${N}/MainWindow.h)
  target_include_directories(zq_console_ed${N} PUBLIC ${CMAKE_CURRENT_LIST_DIR}/edition${N})
  target_link_libraries(zq_console_ed${N} PUBLIC zq_console_parts)
endforeach()
