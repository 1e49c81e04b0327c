# What the win32 configuration installs (cmake --install) and packages for
# Debian (cmake --build --preset win32 --target package, by CPack from the
# same install):
#
#   bin/                      quorlan-check (for this machine), quorlan-disc
#   share/quorlan/            quorlan.exe, the window driver, wine-env.sh,
#                             the checker's page (web/, quorlan-check.html)
#   share/quorlan/preview-x64/  the 64-bit quorlan.exe and driver, which
#                             previews run where 32-bit Wine cannot
#   share/doc/quorlan/        the README, the pages of docs/ with their
#                             pictures, the text on the menu format, and
#                             the copyright file and changelog (package/)
#   share/man/                the manual pages (man/)
#
# The installed quorlan-disc finds the rest from its own folder, so the
# tree works wherever it is put (disc/CMakeLists.txt).
install(PROGRAMS ${QUORLAN_HOST_CHECK} ${QUORLAN_INSTALLED_DISC} DESTINATION bin)
install(TARGETS quorlan quorlan-driver RUNTIME DESTINATION ${QUORLAN_INSTALL_DATA})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh DESTINATION ${QUORLAN_INSTALL_DATA})
install(FILES ${QUORLAN_WEB_PAGE} DESTINATION ${QUORLAN_INSTALL_DATA})
install(PROGRAMS ${QUORLAN_X64_EXE} ${QUORLAN_X64_DRIVER}
        DESTINATION ${QUORLAN_INSTALL_DATA}/${QUORLAN_INSTALL_X64})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/kit/Quorlan.txt DESTINATION share/doc/quorlan)
# The front page's links lead into docs/, so the pages and their pictures
# keep the same place beside it.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION share/doc/quorlan/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorlan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUORLAN_MAINTAINER})  # package/CMakeLists.txt
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "start-up menu for discs: checker, preview and image maker")
set(CPACK_PACKAGE_DESCRIPTION "Quorlan is a start-up menu for discs and USB sticks: quorlan.exe reads
Quorlan.ini from the disc's root folder and lists its programs and
documents as a tree. This package holds the authoring tools: quorlan-check
checks a menu file, and quorlan-disc checks a disc's folder, shows its
menu as a CD shows it (under Wine), and writes the disc's ISO image with
quorlan.exe added.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# wine64 runs the previews on every amd64 machine, with or without the i386
# architecture; wine32 (i386) lets them run the real 32-bit program.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3, xorriso, wine, wine64, fonts-wine, xvfb, xauth, x11-utils, imagemagick")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine32")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/package-time.cmake)
# Why no package may be made from this build, or empty: a release is never
# made from a build that left out the .vsix (editors/CMakeLists.txt) or the
# page (cmake/host-builds.cmake).
set(CPACK_QUORLAN_REFUSED "${NODE_PACKAGES_MISSING}${QUORLAN_WEB_MISSING}")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
