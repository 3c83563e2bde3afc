# cmake --install <build> --prefix <dir>: the program, the link library with its header and
# the application entry. The fixed folder names (lib, not a multiarch folder) keep the
# program's run path $ORIGIN/../lib true for any prefix.
if(NOT TARGET kevo)
  return()
endif()
set_target_properties(kevo PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
# libvl-com.so needs libolestr.so beside it, whoever loads it.
set_target_properties(vl-com PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS kevo RUNTIME DESTINATION bin)
install(TARGETS vl-com olestr LIBRARY DESTINATION lib)
# The library's header declares its strings through olestr.h.
install(FILES ${PROJECT_SOURCE_DIR}/linklib/vl-com.h ${PROJECT_SOURCE_DIR}/platform/olestr.h DESTINATION include)
install(FILES ${PROJECT_SOURCE_DIR}/share/kevo.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/share/kevo.svg DESTINATION share/icons/hicolor/scalable/apps)
