# The pure rules of the bus telegram tool and the address scan.
kevo_add_test(test_bustelegrams SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_bustelegrams.cpp LIBS kevo_tools)
