# kevo_add_test(NAME SOURCES... LIBS ...)
# Builds one GoogleTest executable and registers it with ctest. Every test runs
# on Qt's offscreen platform so a plain `ctest` behaves like CI.
function(kevo_add_test name)
  cmake_parse_arguments(KT "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE ${KT_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Shared test helpers (header-only): Qt application, simulator fixture, waiting.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT KT_TIMEOUT)
    set(KT_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${KT_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1")
endfunction()

# kevo_folder_library(NAME TYPE DIR [EXCLUDE files...] [LINK libs...])
# One library per source folder, from every .cpp in it. While a folder has no
# sources yet the target is an INTERFACE library, so the tree always configures.
function(kevo_folder_library name type dir)
  cmake_parse_arguments(KL "" "" "EXCLUDE;LINK" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(_x ${KL_EXCLUDE})
    list(REMOVE_ITEM _src ${dir}/${_x})
  endforeach()
  if(_src)
    add_library(${name} ${type} ${_src})
    target_include_directories(${name} PUBLIC ${dir})
    target_link_libraries(${name} PUBLIC ${KL_LINK})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${dir})
    target_link_libraries(${name} INTERFACE ${KL_LINK})
  endif()
endfunction()
