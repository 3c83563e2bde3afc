# Faults the program survives: the adapter vanishing, a full disk, a read-only or deleted
# project folder, with the real windows, the simulator and real files.
kevo_add_test(test_faults SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_faults.cpp
              LIBS kevo_tools kevo_monitor rafusim_core Qt6::Test)
target_include_directories(test_faults PRIVATE ${CMAKE_CURRENT_LIST_DIR})
