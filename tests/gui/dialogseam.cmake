# The dialog seam's real dialogs on the offscreen platform.
kevo_add_test(test_dialogseam SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_dialogseam.cpp LIBS platform Qt6::Test)
