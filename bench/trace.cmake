# Rendering a full log into the trace view (plain timing program, offscreen Qt).
add_executable(bench_trace ${CMAKE_CURRENT_LIST_DIR}/bench_trace.cpp)
target_link_libraries(bench_trace PRIVATE kevo_monitor rafusim_core)
