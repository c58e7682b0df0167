# The Python module `tarvik` (src/python/): the command layer from Python through pybind11
# (Debian's pybind11-dev), built for the system's Python 3 as build/tarvik.<abi>.so, next to
# the programs. On by default when pybind11 and the Python headers are found, except in the
# sanitized builds, whose instrumented code an uninstrumented interpreter cannot load.
#
# The module is built for the system's interpreter, /usr/bin/python3, and never for another
# python3 that comes first on PATH (pyenv, a virtual environment): Debian's numpy and
# pytest belong to that one, and the package installs the module for it.
# -DPython_EXECUTABLE=... chooses another.
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the module is built for")
endif()

set(tarvik_python_default OFF)
if(tarvik_sanitize MATCHES "^(off|no|false|n|0|)$")
  find_package(Python 3 COMPONENTS Interpreter Development.Module QUIET)
  if(Python_FOUND)
    find_package(pybind11 CONFIG QUIET)
    if(pybind11_FOUND)
      set(tarvik_python_default ON)
    endif()
  endif()
endif()
option(TARVIK_PYTHON "Build the Python module tarvik (needs pybind11-dev)" ${tarvik_python_default})
if(NOT TARVIK_PYTHON)
  return()
endif()

# pybind11 takes the interpreter FindPython found (its "new" mode), not one of its own.
find_package(Python 3 REQUIRED COMPONENTS Interpreter Development.Module)
find_package(pybind11 CONFIG REQUIRED)
message(STATUS "Python module for ${Python_EXECUTABLE} (${Python_VERSION})")

# A shared module takes the libraries' code: position-independent, which on x86-64 costs
# next to nothing in the programs that link the same libraries.
set_target_properties(tarvik_core tarvik_view_math tarvik_batch_lib
  PROPERTIES POSITION_INDEPENDENT_CODE ON)

file(GLOB TARVIK_PYTHON_SOURCES CONFIGURE_DEPENDS src/python/*.cpp)
# NO_EXTRAS: no link-time optimisation and no stripping, as the programs are built; the
# symbols stay hidden all the same.
pybind11_add_module(tarvik_python MODULE NO_EXTRAS ${TARVIK_PYTHON_SOURCES})
# The binding sources spend most of their compile in pybind11's headers: four to a unit.
set_target_properties(tarvik_python PROPERTIES OUTPUT_NAME tarvik
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 4)
target_link_libraries(tarvik_python PRIVATE tarvik_batch_lib)
target_compile_definitions(tarvik_python PRIVATE TARVIK_VERSION="${PROJECT_VERSION}")
tarvik_strict(tarvik_python)

# Debian's system Python looks for modules in /usr/lib/python3/dist-packages.
set(TARVIK_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
  "Where the Python module is installed, relative to the prefix")
install(TARGETS tarvik_python LIBRARY DESTINATION ${TARVIK_PYTHON_INSTALL_DIR})

if(TARVIK_TESTS)
  # The module's pytest suite and a bounded fuzz of run() with the batch fuzzer's
  # dictionary (TARVIK_PY_FUZZ_SECONDS, 10 s by default; the CI sets its own).
  set(tarvik_python_env "PYTHONPATH=${CMAKE_BINARY_DIR}"
    "TARVIK_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "TARVIK_BATCH=$<TARGET_FILE:tarvik-batch>")
  add_test(NAME python_module
    COMMAND ${Python_EXECUTABLE} -m pytest -q -p no:cacheprovider ${CMAKE_SOURCE_DIR}/tests/python)
  add_test(NAME python_module_fuzz
    COMMAND ${Python_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/python/fuzz_run.py
      --dict ${CMAKE_SOURCE_DIR}/fuzz/dict/batch.dict --dict ${CMAKE_SOURCE_DIR}/fuzz/dict/numbers.dict)
  set_tests_properties(python_module python_module_fuzz PROPERTIES
    ENVIRONMENT "${tarvik_python_env}" LABELS python)
  set_tests_properties(python_module_fuzz PROPERTIES TIMEOUT 300)
endif()
