# Install rules and the Debian package.
#
# `cmake --install build --prefix DIR` lays out the programs, their manual pages, the desktop
# integration, the examples and the documentation under DIR; every destination is relative to the
# prefix, so the tree can be moved. `cpack` (scripts/package.sh) turns the same tree into
# orrery_<version>_<arch>.deb. Tests install nothing.
#
# Included last from the top-level CMakeLists.txt, so that every program the folders define is known.

include(GNUInstallDirs)

# The programs of the package; each is installed when this build defines it.
set(ORRERY_PROGRAMS orrery qobc qobls loggerlink loggersim)
set(ORRERY_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/orrery)
set(ORRERY_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/orrery)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(man_source_dir ${PROJECT_SOURCE_DIR}/docs/man)
set(man_build_dir ${PROJECT_BINARY_DIR}/man)

# Files that Debian wants compressed with gzip -9n (no name or time stamp, so the bytes are reproducible).
function(orrery_gzip_file source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n -c ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()

# A page that arrives later makes the next build configure again, so that it is installed.
file(GLOB man_pages CONFIGURE_DEPENDS ${man_source_dir}/*.1)

set(installed_programs "")
set(compressed_files "")
foreach(program ${ORRERY_PROGRAMS})
  if(NOT TARGET ${program})
    continue()
  endif()
  list(APPEND installed_programs ${program})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  if(${man_source_dir}/${program}.1 IN_LIST man_pages)
    # The page carries the version of the build in its title line.
    set(VERSION ${ORRERY_VERSION_TEXT})
    configure_file(${man_source_dir}/${program}.1 ${man_build_dir}/${program}.1 @ONLY)
    orrery_gzip_file(${man_build_dir}/${program}.1 ${man_build_dir}/${program}.1.gz)
    list(APPEND compressed_files ${man_build_dir}/${program}.1.gz)
    install(FILES ${man_build_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
  endif()
endforeach()

# Desktop integration: a menu entry that opens *.qob files in the running workbench (it runs
# `orrery %F`, and a second start hands its files to the first), the Quobol MIME type and the icon.
if(TARGET orrery)
  install(FILES ${packaging_dir}/orrery.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
  install(FILES ${packaging_dir}/orrery-quobol.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT programs)
  install(FILES ${packaging_dir}/orrery.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT programs)
endif()

file(GLOB example_programs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.qob)
install(FILES ${example_programs} DESTINATION ${ORRERY_SHARE_DIR}/examples COMPONENT programs)

# Documentation: the README with the pictures it shows, the copyright and the package's changelog.
configure_file(${packaging_dir}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
orrery_gzip_file(${PROJECT_BINARY_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
list(APPEND compressed_files ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging_dir}/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${ORRERY_DOC_DIR} COMPONENT programs)
file(GLOB readme_pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${readme_pictures} DESTINATION ${ORRERY_DOC_DIR}/docs COMPONENT programs)

add_custom_target(orrery_install_files ALL DEPENDS ${compressed_files})

# --- The Debian package ---------------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orrery)
set(CPACK_PACKAGE_VERSION ${ORRERY_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "Pellworth")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for Brackwater data loggers")
set(CPACK_PACKAGE_DESCRIPTION
"Orrery is a desktop workbench for the Brackwater family of small
battery-powered data loggers. Logger programs are written in Quobol, a
line-oriented BASIC dialect, compiled into the token code the logger's
interpreter runs (with inline HD6301 assembler), then loaded and started
over a serial line. A serial terminal talks to the logger, and recorded
data comes back into files.

The package holds the workbench (orrery), the command-line compiler
(qobc), the Quobol language server for other editors (qobls), the logger
link for scripts (loggerlink) and a simulated logger for trying it all
without one (loggersim), with example programs.

Serial ports belong to the group dialout: to reach a logger, add your
user to it (sudo adduser $USER dialout) and log in again.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orrery maintainers <maintainers@users.noreply.c-seed-0b4146d9.example>")
# dpkg-shlibdeps reads the libraries the programs link (Qt 6, the C++ runtime) and names their packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_THREADS 2)
include(CPack)

# --- Tests of the installed tree ------------------------------------------------------------------

if(ORRERY_TESTS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(program_arguments "")
  foreach(program ${installed_programs})
    list(APPEND program_arguments --program ${program}=$<TARGET_FILE:${program}>)
  endforeach()
  add_test(NAME packaging.manpages_match_help
    COMMAND Python3::Interpreter ${packaging_dir}/tests/manpages_test.py
            --man-dir ${man_source_dir} ${program_arguments})
  set_tests_properties(packaging.manpages_match_help PROPERTIES LABELS unit)
  add_test(NAME packaging.debian_package
    COMMAND Python3::Interpreter ${packaging_dir}/tests/package_test.py
            --source-dir ${PROJECT_SOURCE_DIR} --build-dir ${PROJECT_BINARY_DIR}
            --version "${ORRERY_VERSION_TEXT}" --package-version ${ORRERY_PACKAGE_VERSION}
            --programs ${installed_programs})
  # It packages the built tree; nothing else runs cpack on it at the same time.
  set_tests_properties(packaging.debian_package PROPERTIES LABELS e2e RESOURCE_LOCK orrery_package TIMEOUT 600)
endif()
