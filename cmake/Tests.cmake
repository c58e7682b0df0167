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
  TARVIK_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
  TARVIK_FILTER_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data/filters"
  TARVIK_BATCH_EXE="$<TARGET_FILE:tarvik-batch>"
  TARVIK_BATCH_HAS_PICTURES=$<BOOL:${TARVIK_GUI}>)
tarvik_strict(tarvik_tests)
add_dependencies(tarvik_tests tarvik-batch)
gtest_discover_tests(tarvik_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)

# A session written by tarvik-batch, read from Python with h5py and compared bit for bit
# (skipped, exit status 77, where python3-h5py is not installed).
add_test(NAME session_read_by_h5py
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/io/session_h5py_test.py
    $<TARGET_FILE:tarvik-batch> ${CMAKE_SOURCE_DIR}/examples)
set_tests_properties(session_read_by_h5py PROPERTIES SKIP_RETURN_CODE 77 LABELS core)

# Oscilloscope files opened by tarvik-batch and compared with their oracle (titles, counts, X
# and Y within the format's tolerance): the small samples kept in the repository, and the
# whole sample folder beside the checkout where it exists (skipped, exit status 77, where not).
add_test(NAME scope_files_open_to_their_oracle
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/io/scope_oracle_test.py
    --batch $<TARGET_FILE:tarvik-batch>
    --samples ${CMAKE_SOURCE_DIR}/tests/data/scope-samples)
add_test(NAME scope_samples_open_to_their_oracle
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/io/scope_oracle_test.py
    --batch $<TARGET_FILE:tarvik-batch>
    --samples ${CMAKE_SOURCE_DIR}/../shared/scope-samples)
set_tests_properties(scope_files_open_to_their_oracle scope_samples_open_to_their_oracle
  PROPERTIES SKIP_RETURN_CODE 77 LABELS core)

# The chart's window-free arithmetic, in GoogleTest.
file(GLOB TARVIK_VIEW_TESTS CONFIGURE_DEPENDS tests/view/*.cpp)
add_executable(tarvik_view_tests ${TARVIK_VIEW_TESTS})
target_include_directories(tarvik_view_tests PRIVATE tests)
target_link_libraries(tarvik_view_tests PRIVATE tarvik_view_math GTest::gtest GTest::gtest_main)
tarvik_strict(tarvik_view_tests)
gtest_discover_tests(tarvik_view_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)

# The window-free code must not include Qt: every folder of the core library, the batch
# runner and the chart's arithmetic. A folder that is missing or empty fails the check.
set(TARVIK_NO_QT_ARGS -DROOT=${CMAKE_SOURCE_DIR}
  "-DREQUIRED=src/core\;src/io\;src/transforms\;src/spectral\;src/synth\;src/batch"
  "-DFILES=src/view/ChartArithmetic.*\;src/view/PolylineReduction.*\;src/view/CoverageMask.*\;src/view/ChartGestures.*\;src/view/ViewRules.*\;src/view/PrintLayout.*\;src/view/SessionAxes.h\;src/view/PointArrayCache.*")
add_test(NAME core_has_no_qt
  COMMAND ${CMAKE_COMMAND} ${TARVIK_NO_QT_ARGS} -P ${CMAKE_SOURCE_DIR}/cmake/CheckNoQt.cmake)
set_tests_properties(core_has_no_qt PROPERTIES LABELS core)
# The check itself: it must fail on a planted include and on a folder that is not there.
set(tarvik_probe ${CMAKE_BINARY_DIR}/no_qt_probe)
file(WRITE ${tarvik_probe}/src/core/Probe.h "#pragma once\n  #  include <QString>\n")
add_test(NAME core_has_no_qt_sees_a_planted_include
  COMMAND ${CMAKE_COMMAND} -DROOT=${tarvik_probe} -DREQUIRED=src/core
    -P ${CMAKE_SOURCE_DIR}/cmake/CheckNoQt.cmake)
add_test(NAME core_has_no_qt_refuses_a_missing_folder
  COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DREQUIRED=src/no_such_folder
    -P ${CMAKE_SOURCE_DIR}/cmake/CheckNoQt.cmake)
set_tests_properties(core_has_no_qt_sees_a_planted_include core_has_no_qt_refuses_a_missing_folder
  PROPERTIES WILL_FAIL TRUE LABELS core)

# TARVIK_UNITY_TESTS compiles the test files a dozen to a unit: much of a test file's
# compile is the test and library headers, which a unit parses once (at -O2, twelve test
# files took 60 CPU-s one by one, 24 s as a unit). Files whose file-local helpers share a
# name with another file's are compiled on their own; new test files must give their local
# helpers names of their own.
option(TARVIK_UNITY_TESTS "Compile the window-free tests in unity batches" ON)
if(TARVIK_UNITY_TESTS)
  set_target_properties(tarvik_tests PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 12)
  set_source_files_properties(
    tests/core/OutputLimitsTest.cpp tests/core/StoreCommandsTest.cpp
    tests/io/PlainGraphReaderTest.cpp tests/io/TekWfmTest.cpp
    tests/spectral/InverseAndConvolutionTest.cpp tests/synth/SplineTest.cpp
    tests/transforms/PulseStatsTest.cpp tests/transforms/PulseMeasurementTest.cpp
    tests/io/SessionHostileTest.cpp
    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endif()
