# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack in the build folder): flashquill_<version>_<arch>.deb
# with everything cmake --install puts, below /usr. Its dependencies are
# read from the programs' own libraries (dpkg-shlibdeps), plus what no
# library link shows: the toolkit's display plug-ins, loaded at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashquill)
set(CPACK_PACKAGE_VENDOR "Flashquill developers")
set(CPACK_PACKAGE_CONTACT "${FQ_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Game Boy flash card writer for the Bridgewick Cable")
set(CPACK_PACKAGE_DESCRIPTION
    "Flashquill lists the games on a Game Boy flash card, backs games and save
RAM up into files, writes one game or a pack of games behind a boot menu,
restores save RAM and formats a page, through the Bridgewick Cable.
.
The package holds the window (flashquill), the command line
(flashquill-cli), a udev rule that lets the user at the seat open the
cable, manual pages and a few demo games. Both programs can also work on a
card emulated in software (--emulate).")
# Installed with DESTDIR below the package's prefix, so that install-time
# steps (the manual pages' paths) see /usr and not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (libpugixml1v5 for DAT files, zlib1g and
# libgcrypt20 for their hashes, libusb, Qt) come into Depends from the
# binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# The files' times in the package are the sources' date, whoever runs cpack
# (the DEB generator reads SOURCE_DATE_EPOCH as it writes the package).
set(_fq_cpack_dates ${CMAKE_CURRENT_BINARY_DIR}/CPackDates.cmake)
file(WRITE ${_fq_cpack_dates}
     "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} \"${FQ_SOURCE_DATE_EPOCH}\")\nendif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${_fq_cpack_dates})
include(CPack)
