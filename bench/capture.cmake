# A recording from the simulated adapter at the full line rate through the capture thread and
# the trace view until the store is full (plain timing program, offscreen Qt).
add_executable(bench_capture_linerate ${CMAKE_CURRENT_LIST_DIR}/bench_capture_linerate.cpp)
target_link_libraries(bench_capture_linerate PRIVATE kevo_monitor rafusim_core)
