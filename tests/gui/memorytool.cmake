# The memory monitor with the main window and the adapter simulator, offscreen; the rows that
# depend on a real window system's order of events on a private X server.
kevo_add_test(test_memorytool SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_memorytool.cpp
              LIBS kevo_tools rafusim_core Qt6::Test X11 MemoryToolOnX)
target_include_directories(test_memorytool PRIVATE ${CMAKE_CURRENT_LIST_DIR})
