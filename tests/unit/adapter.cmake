kevo_add_test(test_adapter_telegram SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_adapter_telegram.cpp
              LIBS kevo_adapter)
