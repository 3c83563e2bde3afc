# The command link, identification and configuration against the adapter simulator
# over a real pty.
foreach(_t link deviceinfo)
  kevo_add_test(test_adapter_${_t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_adapter_${_t}.cpp
                LIBS kevo_adapter rafusim_core)
  target_include_directories(test_adapter_${_t} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endforeach()
