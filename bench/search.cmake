# The search dialog over a full trace (plain timing program, offscreen Qt).
add_executable(bench_search ${CMAKE_CURRENT_LIST_DIR}/bench_search.cpp)
target_link_libraries(bench_search PRIVATE kevo_monitor rafusim_core)
