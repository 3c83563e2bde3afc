kevo_add_test(test_traceview SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_traceview.cpp LIBS kevo_monitor Qt6::Test)
