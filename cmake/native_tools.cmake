# Native builds: the checking tool, the comparison loads, the unit tests and
# the end-to-end tests.
add_executable(gifdump tools/gifdump.cpp)
target_link_libraries(gifdump PRIVATE zoetra_core)

enable_testing()
find_package(GTest REQUIRED)
find_path(GIFLIB_INCLUDE_DIR gif_lib.h)
find_library(GIFLIB_LIBRARY gif)

# The loads that the benchmark times and the tests check: Zoetra's, giflib's
# with a compositing loop, and the memset/memcpy floor.
add_library(zoetra_comparison STATIC comparison/loads.cpp)
target_include_directories(zoetra_comparison PUBLIC comparison ${GIFLIB_INCLUDE_DIR})
target_link_libraries(zoetra_comparison PUBLIC zoetra_core ${GIFLIB_LIBRARY})

# gifref: the giflib-based reference decoder that the comparison test checks
# gifdump against.
add_executable(gifref tests/support/reference/gifref.cpp
               tests/support/reference/gif_reference.cpp)
target_include_directories(gifref PRIVATE comparison ${GIFLIB_INCLUDE_DIR})
target_link_libraries(gifref PRIVATE ${GIFLIB_LIBRARY})

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/*_test.cpp)
add_executable(zoetra_tests ${UNIT_TEST_SOURCES} tests/support/paint_screen.cpp
               tests/support/reference/gif_reference.cpp)
target_link_libraries(zoetra_tests PRIVATE zoetra_core zoetra_comparison GTest::gtest
                      GTest::gtest_main)
target_include_directories(zoetra_tests PRIVATE tests/support)
target_compile_definitions(zoetra_tests PRIVATE
  ZOETRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZOETRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
include(GoogleTest)
gtest_discover_tests(zoetra_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# Scripts under tests/ named *_test.sh run as tests of their own; they find
# the tools through these variables.
file(GLOB SCRIPT_TESTS CONFIGURE_DEPENDS tests/*_test.sh tests/wine/*_test.sh)
foreach(script ${SCRIPT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME ${name} COMMAND bash ${script})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "ZOETRA_SOURCE_DIR=${CMAKE_SOURCE_DIR};ZOETRA_BINARY_DIR=${CMAKE_BINARY_DIR}"
    LABELS script TIMEOUT 600)
  # The Wine tests share one prefix and its wineserver: one at a time.
  if(script MATCHES "/tests/wine/")
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine LABELS "script;wine")
  endif()
endforeach()

# The benchmark program.
include(bench/bench.cmake)
