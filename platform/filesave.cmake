# The one routine that saves document files.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/filesave.cpp)
