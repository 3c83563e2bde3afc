# The memory monitor on the offscreen platform with the main window and the adapter simulator.
kevo_add_test(test_memorytool SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_memorytool.cpp
              LIBS kevo_tools rafusim_core Qt6::Test)
target_include_directories(test_memorytool PRIVATE ${CMAKE_CURRENT_LIST_DIR})
