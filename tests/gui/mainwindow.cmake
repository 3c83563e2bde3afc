# The main window on the offscreen platform: start-up, commands, recording against the
# adapter simulator, log files.
foreach(_t mainwindow logfiles)
  kevo_add_test(test_${_t} SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_${_t}.cpp
                LIBS kevo_monitor rafusim_core Qt6::Test)
  target_include_directories(test_${_t} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endforeach()
# The desktop entry that the install puts into share/applications.
target_compile_definitions(test_mainwindow PRIVATE KEVO_DESKTOP_ENTRY="${PROJECT_SOURCE_DIR}/share/kevo.desktop")
