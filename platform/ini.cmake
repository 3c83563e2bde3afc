# INI files with private-profile semantics.
target_sources(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/inifile.cpp)
