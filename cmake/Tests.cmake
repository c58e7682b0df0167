find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB TARVIK_TEST_SOURCES CONFIGURE_DEPENDS
  tests/core/*.cpp tests/io/*.cpp tests/transforms/*.cpp tests/spectral/*.cpp
  tests/synth/*.cpp tests/batch/*.cpp)
add_executable(tarvik_tests ${TARVIK_TEST_SOURCES})
target_include_directories(tarvik_tests PRIVATE tests)
target_link_libraries(tarvik_tests PRIVATE tarvik_batch_lib GTest::gtest GTest::gtest_main)
target_compile_definitions(tarvik_tests PRIVATE
  TARVIK_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples"
  TARVIK_BATCH_EXE="$<TARGET_FILE:tarvik-batch>")
tarvik_strict(tarvik_tests)
add_dependencies(tarvik_tests tarvik-batch)
gtest_discover_tests(tarvik_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)

# The chart's window-free arithmetic, in GoogleTest.
file(GLOB TARVIK_VIEW_TESTS CONFIGURE_DEPENDS tests/view/*.cpp)
add_executable(tarvik_view_tests ${TARVIK_VIEW_TESTS})
target_include_directories(tarvik_view_tests PRIVATE tests)
target_link_libraries(tarvik_view_tests PRIVATE tarvik_view_math GTest::gtest GTest::gtest_main)
tarvik_strict(tarvik_view_tests)
gtest_discover_tests(tarvik_view_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)

# Headers of the window-free libraries must not include Qt.
add_test(NAME core_has_no_qt
  COMMAND sh -c "! grep -rn '#include <Q' src/core src/io src/transforms src/spectral src/synth src/view/ChartArithmetic.* src/view/PolylineReduction.* src/view/CoverageMask.*"
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(core_has_no_qt PROPERTIES LABELS core)
