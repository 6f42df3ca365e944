# The logo at four widths under ":/new/prefix1". A static library: its users
# call initZqResources() (ZqResources.h) so that the linker keeps the data.
add_library(zq_resources STATIC
  ${CMAKE_CURRENT_LIST_DIR}/zq_resources.qrc
  ${CMAKE_CURRENT_LIST_DIR}/ZqResources.h)
target_include_directories(zq_resources PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zq_resources PUBLIC Qt::Core)
