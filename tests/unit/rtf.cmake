kevo_add_test(test_rtf SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_rtf.cpp LIBS kevo_monitor Qt6::Gui)
