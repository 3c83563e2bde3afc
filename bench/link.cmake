add_executable(bench_link_rx ${CMAKE_CURRENT_LIST_DIR}/bench_link_rx.cpp)
target_link_libraries(bench_link_rx PRIVATE vl-com vlcom_proto Threads::Threads)
