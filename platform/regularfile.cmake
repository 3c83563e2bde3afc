# Opening document files only when they are regular files.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/regularfile.cpp)
