kevo_add_test(test_sim_wire SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_sim_wire.cpp LIBS rafusim_core)
kevo_add_test(test_sim_bus SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_sim_bus.cpp LIBS rafusim_core)
kevo_add_test(test_sim_blocks SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_sim_blocks.cpp LIBS rafusim_core)
