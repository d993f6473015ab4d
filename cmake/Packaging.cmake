# The programs' version, their man pages, the files a Debian system expects beside them, and the
# Debian package itself (`make deb` runs `cpack -G DEB` in the build folder).
include(GNUInstallDirs)

# The date of the release named by the project version; the package's changelog and the
# AppStream release entry carry it.
set(TESSARIX_RELEASE_DATE 2026-12-07)
set(TESSARIX_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 00:00:00 +0000")
set(tessarix_doc_folder ${CMAKE_INSTALL_DATADIR}/doc/tessarix)
set(tessarix_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(tessarix_package_files ${PROJECT_BINARY_DIR}/packaging)

foreach(program tessarix-cli tessarix)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE TESSARIX_VERSION="${PROJECT_VERSION}")
  endif()
endforeach()

# Man pages made from the programs' own --help (every subcommand's for the command line) and a
# hand-written part, so that a new option reaches the page by itself.
find_program(HELP2MAN_PROGRAM help2man)
set(man_pages)
if(HELP2MAN_PROGRAM)
  foreach(program tessarix-cli tessarix)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(help_option --help)
    if(program STREQUAL "tessarix-cli")
      set(help_option --help-all)
    endif()
    set(page ${tessarix_package_files}/${program}.1)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${tessarix_package_files}
      COMMAND ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr --section=1
              --help-option=${help_option} --version-option=--version
              --include=${tessarix_packaging}/${program}.h2m --output=${page}
              $<TARGET_FILE:${program}>
      COMMAND gzip -9nkf ${page}
      DEPENDS ${program} ${tessarix_packaging}/${program}.h2m
      COMMENT "Writing the man page ${program}(1)"
      VERBATIM)
    list(APPEND man_pages ${page})
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    if(TESSARIX_BUILD_TESTS)
      add_test(NAME ManPage.${program}
               COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-man-page ${page})
    endif()
  endforeach()
  add_custom_target(tessarix_man_pages ALL DEPENDS ${man_pages})
else()
  message(WARNING "help2man not found: no man pages are made")
endif()

configure_file(${tessarix_packaging}/io.github.tessarix.Tessarix.metainfo.xml.in
               ${tessarix_package_files}/io.github.tessarix.Tessarix.metainfo.xml @ONLY)
configure_file(${tessarix_packaging}/changelog.in ${tessarix_package_files}/changelog @ONLY)
add_custom_command(
  OUTPUT ${tessarix_package_files}/changelog.gz
  COMMAND gzip -9nkf ${tessarix_package_files}/changelog
  DEPENDS ${tessarix_package_files}/changelog
  VERBATIM)
add_custom_target(tessarix_changelog ALL DEPENDS ${tessarix_package_files}/changelog.gz)
install(FILES ${tessarix_package_files}/io.github.tessarix.Tessarix.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${tessarix_packaging}/copyright ${tessarix_package_files}/changelog.gz
        DESTINATION ${tessarix_doc_folder})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarix)
set(CPACK_PACKAGE_VENDOR "Tessarix developers")
set(CPACK_PACKAGE_CONTACT "Tessarix developers <dev@tessarix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photomosaic maker for the desktop and the command line")
# Debian wants the description's lines shorter than 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Tessarix builds a tile library from a folder tree of JPEG photos, cuts a
source photo into cells (a regular grid, or the colour areas of a mask
image) and places the best matching library photo in every cell. The mosaic
is written as a JPEG beside the source, optionally with a text report and a
web page whose tiles link to their photos. The package holds the Qt desktop
program tessarix and the command-line program tessarix-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
