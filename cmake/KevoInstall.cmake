# cmake --install <build> --prefix <dir>: the program, the link library with its header and
# pkg-config file, and the application entry. The fixed folder names (lib, not a multiarch
# folder) keep the program's run path $ORIGIN/../lib true for any prefix.
if(NOT TARGET kevo)
  return()
endif()
set_target_properties(kevo PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
# libvl-com.so needs libolestr.so beside it, whoever loads it.
set_target_properties(vl-com PROPERTIES INSTALL_RPATH "$ORIGIN")
# The link library and the string library its header uses carry the interface's version in
# their names (libvl-com.so.1); an outside program records that name.
set_target_properties(vl-com olestr PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 1)
install(TARGETS kevo RUNTIME DESTINATION bin)
install(TARGETS vl-com olestr LIBRARY DESTINATION lib)
# pkg-config --cflags --libs vl-com: the header folder and both libraries.
configure_file(${CMAKE_CURRENT_LIST_DIR}/vl-com.pc.in ${PROJECT_BINARY_DIR}/vl-com.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vl-com.pc DESTINATION lib/pkgconfig)
# The library's header declares its strings through olestr.h.
install(FILES ${PROJECT_SOURCE_DIR}/linklib/vl-com.h ${PROJECT_SOURCE_DIR}/platform/olestr.h DESTINATION include)
install(FILES ${PROJECT_SOURCE_DIR}/share/kevo.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/share/kevo.svg DESTINATION share/icons/hicolor/scalable/apps)
