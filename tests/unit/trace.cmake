kevo_add_test(test_capture SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_capture.cpp LIBS kevo_monitor)
kevo_add_test(test_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_decoder.cpp LIBS kevo_monitor)
