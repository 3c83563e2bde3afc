# The memory monitor reading and writing a 32 KiB EEPROM through the simulated adapter, and
# the redraw of one dump page (plain timing program, offscreen Qt).
add_executable(bench_memorytool ${CMAKE_CURRENT_LIST_DIR}/bench_memorytool.cpp)
target_link_libraries(bench_memorytool PRIVATE kevo_tools rafusim_core)
