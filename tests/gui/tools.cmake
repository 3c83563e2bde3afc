# The bus telegram tool and the address-scan tool against the adapter simulator.
foreach(_t bustool scantool)
  kevo_add_test(test_${_t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_${_t}.cpp
                LIBS kevo_tools kevo_monitor rafusim_core vlcom_proto Qt6::Test)
  target_include_directories(test_${_t} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endforeach()
