target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dialogseam.cpp)
target_link_libraries(platform PUBLIC Qt6::Widgets Qt6::PrintSupport)
