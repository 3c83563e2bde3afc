# The settings dialog (with the master clock list and the control helpers) and the link
# library's COM-port setup dialog.
kevo_add_test(test_einstellungen
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_einstellungen.cpp ${CMAKE_CURRENT_LIST_DIR}/test_einstellungen_pages.cpp
  LIBS kevo_dialogs Qt6::Test)
kevo_add_test(test_portsetup SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_portsetup.cpp
  LIBS vl-com rafusim_core Qt6::Widgets Qt6::Test)
# The number-field binding that every window's numeric fields use.
kevo_add_test(test_numberedit SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_numberedit.cpp
  LIBS kevo_widgets Qt6::Test X11 NumberEditOnX)
