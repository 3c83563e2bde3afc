kevo_add_test(test_link_proto SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_link_proto.cpp LIBS vlcom_proto)
kevo_add_test(test_link_serialport SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_link_serialport.cpp
              LIBS platform)
