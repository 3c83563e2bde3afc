# The memory monitor's rules: dump texts, address part, telegrams, replies, chunking, ranges.
kevo_add_test(test_memorylogic SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_memorylogic.cpp LIBS kevo_tools)
