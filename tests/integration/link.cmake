# The link library against the adapter simulator over a real pty. Registered once
# the simulator is implemented, so a half-built tree still configures and links.
file(GLOB _link_sim_src ${CMAKE_SOURCE_DIR}/sim/*.cpp)
set(_link_sim_ready OFF)
foreach(_f ${_link_sim_src})
  file(STRINGS ${_f} _hit REGEX "Simulator::start")
  if(_hit)
    set(_link_sim_ready ON)
  endif()
endforeach()
if(_link_sim_ready)
  foreach(_t telegram port binary)
    kevo_add_test(test_link_${_t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_link_${_t}.cpp
                  LIBS vl-com vlcom_proto rafusim_core)
    target_include_directories(test_link_${_t} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  endforeach()
endif()
