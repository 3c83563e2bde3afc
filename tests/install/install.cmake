# The install tree: files, run path, desktop entry, data folder of the installed program.
if(TARGET kevo)
  add_test(NAME test_install
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/test_install.sh ${CMAKE_BINARY_DIR} ${CMAKE_COMMAND}
                   ${CMAKE_CXX_COMPILER})
  set_tests_properties(test_install PROPERTIES TIMEOUT 120)
endif()
