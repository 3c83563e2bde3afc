# Opening a full log in the main window until its trace is shown; saving it with its RTF copy
# (plain timing program, offscreen Qt); the menu's response while recording at the line rate.
add_executable(bench_mainwindow ${CMAKE_CURRENT_LIST_DIR}/bench_mainwindow.cpp)
target_link_libraries(bench_mainwindow PRIVATE kevo_monitor rafusim_core)
