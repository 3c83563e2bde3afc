# INI layer, settings record, text tables, number text, project files.
kevo_add_test(test_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ini.cpp LIBS platform)
kevo_add_test(test_settings
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings.cpp ${CMAKE_CURRENT_LIST_DIR}/test_numbertext.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_numberfield.cpp
  LIBS kevo_settings)
kevo_add_test(test_configfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_configfile.cpp LIBS kevo_settings)
