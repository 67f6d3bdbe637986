# What a user downloads. On Windows: a zip holding Rungwell.exe with its
# README.txt and LICENSE beside it, to unpack anywhere. Elsewhere: a tarball
# and a Debian package that install /usr/bin/Rungwell and its docs.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS Rungwell RUNTIME DESTINATION .)
  install(FILES README.txt LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  # Debian keeps a package's docs under the package's own name, which is in
  # lower case, and wants its license there as "copyright".
  set(docs ${CMAKE_INSTALL_DATAROOTDIR}/doc/rungwell)
  install(TARGETS Rungwell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${docs})
  install(FILES LICENSE DESTINATION ${docs} RENAME copyright)
  set(CPACK_GENERATOR TGZ DEB)
endif()

set(CPACK_PACKAGE_VENDOR "the Rungwell authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "indent a comma-separated plan by its level column")
set(CPACK_PACKAGE_DESCRIPTION "Rungwell indents each line of a comma-separated plan by the level in its
sixth column, so that the structure of the plan shows when the file is opened
as text. Run on plan.csv, it writes plan_new.csv beside it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_DEBIAN_PACKAGE_NAME rungwell)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A package needs someone to write to; set this to the release's maintainer.
set(RUNGWELL_PACKAGE_MAINTAINER "Rungwell authors <rungwell@example.invalid>"
  CACHE STRING "Name and address in the Debian package's Maintainer field")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RUNGWELL_PACKAGE_MAINTAINER}")

include(CPack)
