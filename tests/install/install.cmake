# The install tree: files, run path, desktop entry, data folder of the installed program.
if(TARGET kevo)
  kevo_register_test(test_install 120 bash ${CMAKE_CURRENT_LIST_DIR}/test_install.sh ${CMAKE_BINARY_DIR}
                     ${CMAKE_COMMAND} ${CMAKE_CXX_COMPILER})
endif()
