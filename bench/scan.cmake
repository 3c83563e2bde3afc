# A full address scan of the simulated bus through the scan tool, against the same telegrams
# sent straight through the command link (plain timing program, offscreen Qt).
add_executable(bench_scan ${CMAKE_CURRENT_LIST_DIR}/bench_scan.cpp)
target_link_libraries(bench_scan PRIVATE kevo_tools kevo_monitor rafusim_core)
