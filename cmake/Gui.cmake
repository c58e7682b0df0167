find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets PrintSupport Svg Network Test)
find_package(QCustomPlotQt6 REQUIRED)

file(GLOB TARVIK_GUI_SOURCES CONFIGURE_DEPENDS
  src/app/*.cpp src/app/*.h src/view/*.cpp src/view/*.h src/dialogs/*.cpp src/dialogs/*.h)
list(FILTER TARVIK_GUI_SOURCES EXCLUDE REGEX ".*/app/main\\.cpp$")
# The batch runner's picture commands go into tarvik-batch alone (below).
list(FILTER TARVIK_GUI_SOURCES EXCLUDE REGEX ".*/app/BatchPictures\\.cpp$")
foreach(math_source ${TARVIK_VIEW_MATH_SOURCES})
  list(REMOVE_ITEM TARVIK_GUI_SOURCES ${CMAKE_SOURCE_DIR}/${math_source})
endforeach()
# The icons, compiled once into an object library that every program with a window links:
# objects are always linked, where a static library's resource initializer would be left
# out for want of a reference to it.
file(GLOB TARVIK_GUI_RESOURCES CONFIGURE_DEPENDS resources/*.qrc)
add_library(tarvik_resources OBJECT ${TARVIK_GUI_RESOURCES})
target_link_libraries(tarvik_resources PRIVATE Qt6::Core)
set_target_properties(tarvik_resources PROPERTIES AUTORCC ON)
add_library(tarvik_gui STATIC ${TARVIK_GUI_SOURCES})
target_link_libraries(tarvik_gui PUBLIC tarvik_core tarvik_view_math Qt6::Widgets Qt6::PrintSupport Qt6::Svg
  Qt6::Network QCustomPlotQt6::QCustomPlotQt6)
target_compile_definitions(tarvik_gui PUBLIC QCUSTOMPLOT_USE_LIBRARY)
set_target_properties(tarvik_gui PROPERTIES AUTOMOC ON)
tarvik_strict(tarvik_gui)
# Nearly every window source includes the chart component's header, which pulls in most of
# Qt's widgets: parsed once into a precompiled header, a window source compiles in a third
# of the time.
option(TARVIK_PCH "Precompile the chart and Qt headers of the window's sources" ON)
if(TARVIK_PCH)
  target_precompile_headers(tarvik_gui PRIVATE <qcustomplot.h> <QtWidgets/QtWidgets>)
endif()

add_executable(tarvik src/app/main.cpp)
target_link_libraries(tarvik PRIVATE tarvik_gui tarvik_resources)
set_target_properties(tarvik PROPERTIES AUTOMOC ON)
tarvik_strict(tarvik)

# tarvik-batch draws its pictures with the window's chart, offscreen.
target_sources(tarvik-batch PRIVATE src/app/BatchPictures.cpp)
target_link_libraries(tarvik-batch PRIVATE tarvik_gui)

if(TARVIK_TESTS)
  file(GLOB TARVIK_GUI_TESTS CONFIGURE_DEPENDS tests/gui/*.cpp)
  foreach(test_source ${TARVIK_GUI_TESTS})
    get_filename_component(test_name ${test_source} NAME_WE)
    add_executable(gui_${test_name} ${test_source})
    target_link_libraries(gui_${test_name} PRIVATE tarvik_gui tarvik_resources Qt6::Test)
    target_compile_definitions(gui_${test_name} PRIVATE
      TARVIK_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
    set_target_properties(gui_${test_name} PROPERTIES AUTOMOC ON)
    # A test's own moc output is included by its source; the file the generator adds beside
    # it is empty, and loading the precompiled header would be all its compile.
    set_source_files_properties(
      ${CMAKE_CURRENT_BINARY_DIR}/gui_${test_name}_autogen/mocs_compilation.cpp
      PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    tarvik_strict(gui_${test_name})
    # GCC 12 at -O2 reports an impossible copy size inside std::string's assignment of a
    # literal in the tests' inlined lambdas (GCC bug 106199); it says nothing about our code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(gui_${test_name} PRIVATE -Wno-stringop-overflow)
    endif()
    # The window tests share one precompiled header (the window's plus Qt Test).
    if(TARVIK_PCH)
      if(NOT DEFINED tarvik_gui_test_pch)
        set(tarvik_gui_test_pch gui_${test_name})
        target_precompile_headers(gui_${test_name} PRIVATE
          <qcustomplot.h> <QtWidgets/QtWidgets> <QtTest/QtTest>)
      else()
        target_precompile_headers(gui_${test_name} REUSE_FROM ${tarvik_gui_test_pch})
      endif()
    endif()
    add_test(NAME gui_${test_name} COMMAND gui_${test_name})
    set_tests_properties(gui_${test_name} PROPERTIES LABELS gui
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data;HOME=${CMAKE_BINARY_DIR}/test-home")
  endforeach()
endif()

if(TARVIK_BENCH)
  # Benchmarks that need the chart (offscreen repaint).
  find_package(benchmark REQUIRED)
  file(GLOB TARVIK_GUI_BENCH_SOURCES CONFIGURE_DEPENDS bench/gui/*.cpp)
  foreach(bench_source ${TARVIK_GUI_BENCH_SOURCES})
    get_filename_component(bench_name ${bench_source} NAME_WE)
    add_executable(${bench_name} ${bench_source})
    target_link_libraries(${bench_name} PRIVATE tarvik_gui tarvik_resources benchmark::benchmark)
    set_target_properties(${bench_name} PROPERTIES AUTOMOC ON)
    tarvik_strict(${bench_name})
  endforeach()
endif()

# The pulse panel's test compares the graphs it appends with what tarvik-batch appends.
if(TARVIK_TESTS AND TARGET gui_PulsePanelTest)
  target_compile_definitions(gui_PulsePanelTest PRIVATE TARVIK_BATCH_EXE="$<TARGET_FILE:tarvik-batch>")
  add_dependencies(gui_PulsePanelTest tarvik-batch)
endif()
