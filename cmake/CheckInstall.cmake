# Installs the build into a fresh scratch prefix and checks the result there.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DCHECK=.../check-install.sh -DVERSION=... -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
  OUTPUT_QUIET RESULT_VARIABLE installed)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${installed})")
endif()
execute_process(COMMAND bash "${CHECK}" "${PREFIX}" "${VERSION}" RESULT_VARIABLE checked)
if(NOT checked EQUAL 0)
  message(FATAL_ERROR "the installation in ${PREFIX} failed its check")
endif()
file(REMOVE_RECURSE "${PREFIX}")
