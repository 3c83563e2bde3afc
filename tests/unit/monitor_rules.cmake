# Pure rules of the main window (status panels, caption, program paths) and of the settings
# dialog (working copies, probe rules).
kevo_add_test(test_monitor_rules
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_statustexts.cpp ${CMAKE_CURRENT_LIST_DIR}/test_settingsrules.cpp
  LIBS kevo_monitor)
