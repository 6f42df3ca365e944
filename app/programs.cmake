# The start window's settings mapping.
add_library(zq_app_core STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSettings.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PortSettings.h)
target_include_directories(zq_app_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zq_app_core PUBLIC Qt::SerialPort)

# The start window, built once. It opens the console of the one edition that
# a program links (kProgramConsole, defined by each zq_console_edN): list it
# before that edition's library.
add_library(zq_start_window STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ConnectionWindow.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ConnectionWindow.h)
target_link_libraries(zq_start_window PUBLIC zq_app_core zq_console_parts zq_firmware_ui
  zq_window_chrome Qt::Widgets Qt::SerialPort)

# One window program: main.cpp, the start window and edition EDITION's
# console. main.cpp takes what differs between the programs from these
# definitions:
#   ZQ_PROGRAM        the application name
#   ZQ_ICON           the window icon, by its hicolor name (resources/icons)
#   ZQ_DESKTOP_ID     the menu entry the windows belong to; empty without one
#   ZQ_FIRMWARE_FIRST the start window shows the firmware window's choice, selected
# MAIN replaces main.cpp (the demonstration's picture taker), and
# EXCLUDE_FROM_ALL builds the program only when it is asked for by name.
function(zq_add_window_program name edition)
  cmake_parse_arguments(P "FIRMWARE_FIRST;EXCLUDE_FROM_ALL" "ICON;DESKTOP_ID;MAIN" "" ${ARGN})
  if(NOT P_MAIN)
    set(P_MAIN ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
  endif()
  set(exclude)
  if(P_EXCLUDE_FROM_ALL)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  add_executable(${name} ${exclude} ${P_MAIN} ${PROJECT_SOURCE_DIR}/resources/icons/zq_icons.qrc)
  target_compile_definitions(${name} PRIVATE ZQ_PROGRAM="${name}" ZQ_ICON="${P_ICON}"
    ZQ_DESKTOP_ID="${P_DESKTOP_ID}" ZQ_FIRMWARE_FIRST=$<BOOL:${P_FIRMWARE_FIRST}>)
  target_link_libraries(${name} PRIVATE zq_start_window zq_console_ed${edition} zq_qt_compat)
endfunction()

# The five consoles, one per edition; only the newest has a menu entry.
foreach(N 1 2 3 4)
  zq_add_window_program(console${N} ${N} ICON org.example.zq_console)
endforeach()
zq_add_window_program(console5 5 ICON org.example.zq_console DESKTOP_ID org.example.zq_console)
# The firmware update: the newest edition's start window, firmware window first.
zq_add_window_program(zq-firmware 5 FIRMWARE_FIRST
  ICON org.example.zq_firmware DESKTOP_ID org.example.zq_firmware)

# scripts/demo.sh without a display: pictures of the start window and of the
# console of each edition, drawn offscreen (built on demand only).
foreach(N 1 2 3 4 5)
  zq_add_window_program(demo-shots${N} ${N} EXCLUDE_FROM_ALL
    MAIN ${PROJECT_SOURCE_DIR}/scripts/demo-shots.cpp)
endforeach()
