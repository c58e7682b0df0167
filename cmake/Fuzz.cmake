# libFuzzer targets, one per reader; build with clang (CXX=clang++).
# The readers and everything they use (core, io) are compiled once more with coverage
# instrumentation and the sanitizers, so the fuzzer sees inside them and any fault stops it.
set(TARVIK_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
  -fno-omit-frame-pointer)
file(GLOB TARVIK_FUZZ_LIB_SOURCES CONFIGURE_DEPENDS src/core/*.cpp src/io/*.cpp)
add_library(tarvik_fuzz_io STATIC EXCLUDE_FROM_ALL ${TARVIK_FUZZ_LIB_SOURCES})
target_include_directories(tarvik_fuzz_io PUBLIC src)
target_compile_options(tarvik_fuzz_io PRIVATE -fsanitize=fuzzer-no-link ${TARVIK_FUZZ_FLAGS})
target_link_libraries(tarvik_fuzz_io PUBLIC Threads::Threads)
tarvik_strict(tarvik_fuzz_io)

file(GLOB TARVIK_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*.cpp)
add_custom_target(fuzz_targets)
foreach(fuzz_source ${TARVIK_FUZZ_SOURCES})
  get_filename_component(fuzz_name ${fuzz_source} NAME_WE)
  add_executable(${fuzz_name} EXCLUDE_FROM_ALL ${fuzz_source})
  target_compile_options(${fuzz_name} PRIVATE -fsanitize=fuzzer ${TARVIK_FUZZ_FLAGS})
  target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer ${TARVIK_FUZZ_FLAGS})
  target_link_libraries(${fuzz_name} PRIVATE tarvik_fuzz_io)
  tarvik_strict(${fuzz_name})
  add_dependencies(fuzz_targets ${fuzz_name})
endforeach()
