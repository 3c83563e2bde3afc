# Fuzz targets of the parsers of outside input (kevo_add_fuzz_target, cmake/KevoFuzz.cmake).
# A new parser adds its fuzz_<name>.cpp here or in a list file of its own beside this one
# (tests/fuzz/<area>.cmake), and a corpus folder tests/fuzz/corpus/<name>/ with seed inputs;
# scripts/fuzz finds every target by itself.
set(_fz ${CMAKE_CURRENT_LIST_DIR})
kevo_add_fuzz_target(link_rx SOURCES ${_fz}/fuzz_link_rx.cpp LIBS vlcom_proto)
kevo_add_fuzz_target(ini SOURCES ${_fz}/fuzz_ini.cpp LIBS platform)
kevo_add_fuzz_target(numbertext SOURCES ${_fz}/fuzz_numbertext.cpp LIBS kevo_settings)
kevo_add_fuzz_target(adapter_replies SOURCES ${_fz}/fuzz_adapter_replies.cpp LIBS kevo_adapter vlcom_proto)
kevo_add_fuzz_target(log_decoder SOURCES ${_fz}/fuzz_log_decoder.cpp LIBS kevo_capture)
kevo_add_fuzz_target(log_limits SOURCES ${_fz}/fuzz_log_decoder.cpp LIBS kevo_capture)
target_compile_definitions(fuzz_log_limits PRIVATE KEVO_FUZZ_LOG_LIMITS)
kevo_add_fuzz_target(tool_replies SOURCES ${_fz}/fuzz_tool_replies.cpp LIBS kevo_tools rafusim_core)
target_include_directories(fuzz_tool_replies PRIVATE ${PROJECT_SOURCE_DIR}/sim)
kevo_add_fuzz_target(memory_load SOURCES ${_fz}/fuzz_memory_load.cpp LIBS kevo_tools)
