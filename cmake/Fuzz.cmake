# libFuzzer targets: the readers, the batch script parser and a batch script runner; build
# with clang (CXX=clang++). The window-free library, the chart's window-free view rules (the
# batch runner's offscreen view uses them) and the batch library are compiled once more with
# coverage instrumentation and the sanitizers, so the fuzzer sees inside them and any fault
# stops it.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TARVIK_FUZZ needs clang (configure with CXX=clang++)")
endif()
# -O1: the instrumented library compiles in about half the time of -O2, and the bounded runs
# in CI are about coverage, not speed.
set(TARVIK_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
  -fno-omit-frame-pointer -O1)
add_library(tarvik_fuzz_core STATIC EXCLUDE_FROM_ALL ${TARVIK_CORE_SOURCES}
  ${TARVIK_VIEW_MATH_SOURCES} ${TARVIK_BATCH_SOURCES})
target_include_directories(tarvik_fuzz_core PUBLIC src)
target_compile_options(tarvik_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${TARVIK_FUZZ_FLAGS})
target_link_libraries(tarvik_fuzz_core PUBLIC Threads::Threads hdf5::hdf5)
tarvik_strict(tarvik_fuzz_core)

file(GLOB TARVIK_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*.cpp)
add_custom_target(fuzz_targets)
foreach(fuzz_source ${TARVIK_FUZZ_SOURCES})
  get_filename_component(fuzz_name ${fuzz_source} NAME_WE)
  add_executable(${fuzz_name} EXCLUDE_FROM_ALL ${fuzz_source})
  target_compile_options(${fuzz_name} PRIVATE -fsanitize=fuzzer ${TARVIK_FUZZ_FLAGS})
  target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer ${TARVIK_FUZZ_FLAGS})
  target_link_libraries(${fuzz_name} PRIVATE tarvik_fuzz_core)
  tarvik_strict(${fuzz_name})
  add_dependencies(fuzz_targets ${fuzz_name})
endforeach()
