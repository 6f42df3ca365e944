# Helpers shared by the tests and the benchmarks: a pseudo-terminal with a
# scripted end, a port listed as ttyS0, and the headers beside them (the
# simulated unit's process, the full image, an answering peer).
if(NOT TARGET zq_testsupport)
  add_library(zq_testsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/Pty.cpp ${CMAKE_CURRENT_LIST_DIR}/Pty.h
    ${CMAKE_CURRENT_LIST_DIR}/ListedPort.cpp ${CMAKE_CURRENT_LIST_DIR}/ListedPort.h)
  target_include_directories(zq_testsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(zq_testsupport PUBLIC Qt5::Core Qt5::SerialPort zq_frame util)
endif()
