# libFuzzer targets, one per reader; build with clang.
file(GLOB TARVIK_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*.cpp)
foreach(fuzz_source ${TARVIK_FUZZ_SOURCES})
  get_filename_component(fuzz_name ${fuzz_source} NAME_WE)
  add_executable(${fuzz_name} ${fuzz_source})
  target_compile_options(${fuzz_name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${fuzz_name} PRIVATE tarvik_core)
endforeach()
