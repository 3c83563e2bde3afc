kevo_add_test(test_olestr SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_olestr.cpp LIBS olestr)
