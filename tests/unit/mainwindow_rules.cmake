# The main window's pure rules: status panels, caption and program paths.
kevo_add_test(test_statustexts SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_statustexts.cpp LIBS kevo_monitor)
