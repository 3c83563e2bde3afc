kevo_add_test(test_capture_thread SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_capture_thread.cpp
              LIBS kevo_monitor rafusim_core Qt6::Test)
