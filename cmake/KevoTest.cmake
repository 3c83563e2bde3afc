set(KEVO_TEST_ENV_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/kevo-test-env.sh)
set(KEVO_TEST_XVFB_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/kevo-test-xvfb.sh)

# kevo_register_test(NAME TIMEOUT COMMAND...)
# The one registration of every ctest test. Each run gets a fresh temporary folder below
# the build folder for its home, XDG folders, temporary files and device root
# (kevo-test-env.sh), removed afterwards whatever the test did.
function(kevo_register_test name timeout)
  add_test(NAME ${name} COMMAND sh ${KEVO_TEST_ENV_SCRIPT} ${CMAKE_BINARY_DIR}/test-tmp ${ARGN})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${timeout}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1")
endfunction()

# kevo_add_test(NAME SOURCES... LIBS ... [X11 suites...])
# Builds one GoogleTest executable and registers it with ctest. Every test runs
# on Qt's offscreen platform so a plain `ctest` behaves like CI. The X11 suites are rows whose
# outcome depends on the order in which a real window system delivers clicks, activation and
# focus: they run as NAME_x11 on an X server of their own (Xvfb, xcb platform) instead.
function(kevo_add_test name)
  cmake_parse_arguments(KT "" "TIMEOUT" "SOURCES;LIBS;X11" ${ARGN})
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE ${KT_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Shared test helpers (header-only): Qt application, simulator fixture, waiting.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  if(NOT KT_TIMEOUT)
    set(KT_TIMEOUT 300)
  endif()
  if(KT_X11)
    list(TRANSFORM KT_X11 APPEND ".*")
    list(JOIN KT_X11 ":" _x11)
    kevo_register_test(${name} ${KT_TIMEOUT} $<TARGET_FILE:${name}> --gtest_filter=-${_x11})
    kevo_register_test(${name}_x11 ${KT_TIMEOUT} sh ${KEVO_TEST_XVFB_SCRIPT} $<TARGET_FILE:${name}>
                       --gtest_filter=${_x11})
  else()
    kevo_register_test(${name} ${KT_TIMEOUT} $<TARGET_FILE:${name}>)
  endif()
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
