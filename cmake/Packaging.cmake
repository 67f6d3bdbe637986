# What a user downloads. On Windows: a zip holding Rungwell.exe with its
# README.txt and LICENSE.txt beside it, to unpack anywhere. Elsewhere: a
# tarball and a Debian package that install /usr/bin/Rungwell, the lower-case
# rungwell beside it, the manual page, the docs and the bash completion.

set(RUNGWELL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  # Notepad users open the license by double-clicking it, which needs the
  # .txt, and older Notepads show LF-only text as a single line.
  set(license_txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${license_txt} @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS Rungwell RUNTIME DESTINATION .)
  install(FILES README.txt ${license_txt} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  # Debian keeps a package's docs under the package's own name, which is in
  # lower case, and wants its license there as "copyright".
  set(docs ${RUNGWELL_DOCS_DIR})
  install(TARGETS Rungwell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${docs})
  install(FILES LICENSE DESTINATION ${docs} RENAME copyright)
  # The plan the README and the manual page show, to try the program on.
  install(FILES examples/plan.csv DESTINATION ${docs}/examples)

  # Debian wants its docs and manual pages compressed as gzip -9n makes them:
  # as small as it can, and without a time stamp, so that the same sources
  # give the same package.
  find_program(RUNGWELL_GZIP gzip REQUIRED)
  set(staged ${CMAKE_CURRENT_BINARY_DIR}/packaging)

  # lintian compares this version with the package's, so a release that
  # forgets its entry is caught here rather than by a user.
  file(STRINGS ${RUNGWELL_PACKAGING_DIR}/changelog changelog_head LIMIT_COUNT 1)
  if(NOT changelog_head MATCHES "^rungwell \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog begins with \"${changelog_head}\"; "
      "its first entry must be for version ${PROJECT_VERSION}, the one in project()")
  endif()

  # The page is written for one version; it says which in its footer.
  configure_file(${RUNGWELL_PACKAGING_DIR}/rungwell.1.in ${staged}/rungwell.1 @ONLY)
  configure_file(${RUNGWELL_PACKAGING_DIR}/changelog ${staged}/changelog COPYONLY)
  foreach(doc rungwell.1 changelog)
    add_custom_command(OUTPUT ${staged}/${doc}.gz
      COMMAND ${RUNGWELL_GZIP} -9nkf ${staged}/${doc}
      DEPENDS ${staged}/${doc}
      VERBATIM)
  endforeach()
  add_custom_target(rungwell_package_docs ALL DEPENDS ${staged}/rungwell.1.gz ${staged}/changelog.gz)
  install(FILES ${staged}/changelog.gz DESTINATION ${docs})

  # Both names work as commands and for man. The links are made here and
  # installed as links; on a file system that ignores case the two names
  # would be one file, so there only the program's own name is installed.
  install(FILES ${staged}/rungwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(NOT APPLE)
    file(MAKE_DIRECTORY ${staged}/bin ${staged}/man1)
    file(CREATE_LINK Rungwell ${staged}/bin/rungwell SYMBOLIC)
    file(CREATE_LINK rungwell.1.gz ${staged}/man1/Rungwell.1.gz SYMBOLIC)
    install(FILES ${staged}/bin/rungwell DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${staged}/man1/Rungwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  # bash-completion loads a command's completion, when first wanted, from the
  # file of the command's name in this folder of each of the system's data
  # folders (/usr/local/share and /usr/share unless XDG_DATA_DIRS says
  # otherwise); the one script serves both names.
  set(completions ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
  install(FILES ${RUNGWELL_COMPLETION} DESTINATION ${completions})
  if(NOT APPLE)
    file(MAKE_DIRECTORY ${staged}/completions)
    file(CREATE_LINK rungwell ${staged}/completions/Rungwell SYMBOLIC)
    install(FILES ${staged}/completions/Rungwell DESTINATION ${completions})
  endif()

  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_PACKAGE_VENDOR "the Rungwell authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "indent a comma-separated plan by its level column")
set(CPACK_PACKAGE_DESCRIPTION "Rungwell indents each line of a comma-separated plan by the level in its
sixth column, or in the column given by number or name, so that the structure
of the plan shows when the file is opened as text. Run on plan.csv, it writes
plan_new.csv beside it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_DEBIAN_PACKAGE_NAME rungwell)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The address the project's own commits are made under; a release built
# elsewhere sets its own with -DRUNGWELL_PACKAGE_MAINTAINER=...
set(RUNGWELL_PACKAGE_MAINTAINER "Seed 3a52afe1 maintainers <maintainers@users.noreply.c-seed-3a52afe1.example>"
  CACHE STRING "Name and address in the Debian package's Maintainer field")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RUNGWELL_PACKAGE_MAINTAINER}")

include(CPack)
