# The search dialog's pattern (pure logic).
kevo_add_test(test_searchpattern SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_searchpattern.cpp LIBS kevo_dialogs)
