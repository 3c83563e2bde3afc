# The capture pipeline without windows: store, capture thread's rules, decoder, RTF writer.
kevo_add_test(test_capture SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_capture.cpp LIBS kevo_capture)
kevo_add_test(test_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_decoder.cpp LIBS kevo_capture)
kevo_add_test(test_rtf SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_rtf.cpp LIBS kevo_capture Qt6::Gui)
