# Installation into the usual places of a Linux system, and the Debian package.
#
#   cmake --install build [--prefix /usr]      # or: cpack --config build/CPackConfig.cmake
#
# bin/tarvik, bin/tarvik-batch, the desktop entry, the icon, the file types of the graph,
# calibration and result files, the manual pages, and an empty system-wide folder for
# calibration files (share/tarvik) that the calibration dialog lists besides the
# executable's folder and the user's data folder.
include(GNUInstallDirs)
# The documentation folder takes the package's name (the project's is capitalised).
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvik")
endif()

# Manual pages go out compressed, as Debian keeps them.
function(tarvik_install_man page)
  set(source "${CMAKE_CURRENT_SOURCE_DIR}/man/${page}")
  set(packed "${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz")
  file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/man")
  file(ARCHIVE_CREATE OUTPUT "${packed}" PATHS "${source}" FORMAT raw COMPRESSION GZip)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  install(FILES "${packed}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS tarvik-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
tarvik_install_man(tarvik-batch.1)
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvik)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/pulse.grf examples/pulse_scope.csv examples/pulse_two_column.csv
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

if(TARVIK_GUI)
  install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  tarvik_install_man(tarvik.1)
  install(FILES packaging/tarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/tarvik.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES resources/icons/tarvik.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The calibration dialog looks for *.CAL files in the installed data folder too. The
  # folder is given relative to the executable, so that a program installed under any
  # prefix (or unpacked into a scratch root) finds the data installed beside it.
  file(RELATIVE_PATH tarvik_data_from_bin "${CMAKE_INSTALL_FULL_BINDIR}"
    "${CMAKE_INSTALL_FULL_DATADIR}/tarvik")
  # Only the one source that needs it, so that no other file is rebuilt for the definition.
  set_property(SOURCE src/dialogs/ChartSelectUI.cpp APPEND PROPERTY COMPILE_DEFINITIONS
    TARVIK_DATA_FROM_BIN="${tarvik_data_from_bin}")
endif()

# The version that "--version" prints.
set_property(SOURCE src/app/main.cpp src/batch/main.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  TARVIK_VERSION="${PROJECT_VERSION}")

# The installation checked as a test: installed into a scratch prefix, every file in its
# place, both programs run from there.
if(TARVIK_TESTS AND TARVIK_GUI)
  add_test(NAME install_layout COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install-check
    -DCHECK=${CMAKE_CURRENT_SOURCE_DIR}/packaging/check-install.sh -DVERSION=${PROJECT_VERSION}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/CheckInstall.cmake)
  set_tests_properties(install_layout PROPERTIES LABELS install)
endif()

# The Debian package. Its library dependencies come from dpkg-shlibdeps (package dpkg-dev);
# Qt's Russian translations are data, not a linked library, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "Tarvik")
set(CPACK_PACKAGE_CONTACT "Tarvik developers <tarvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "workbench for recorded signals of laboratory pulse measurements")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarvik opens text graph files and oscilloscope CSV exports, shows them as XY line graphs
in one chart window (Russian interface) and works on them: arithmetic, derivative and
integral, RC differentiation and integration, Fourier spectra, convolution, splines,
sensor calibration and pulse measurements. tarvik-batch runs the same commands from a
script, without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARVIK_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
endif()
# The Python module is built for one Python version (its file name carries the ABI) and
# hands out numpy arrays; the programs need neither, so they are recommended.
if(TARVIK_PYTHON)
  math(EXPR tarvik_python_next "${Python_VERSION_MINOR} + 1")
  list(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR})"
    "python3 (<< ${Python_VERSION_MAJOR}.${tarvik_python_next})" python3-numpy)
  list(JOIN CPACK_DEBIAN_PACKAGE_RECOMMENDS ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
endif()
include(CPack)
