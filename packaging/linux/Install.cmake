# SPDX-License-Identifier: GPL-3.0-or-later
# The install layout on Linux, below CMAKE_INSTALL_PREFIX:
#   bin/flashquill, bin/flashquill-cli
#   share/applications/<id>.desktop   the menu entry (<id>: FQ_APP_ID)
#   share/metainfo/<id>.metainfo.xml  what software centres show
#   share/icons/hicolor/scalable/apps/flashquill.svg and NxN/apps/flashquill.png
#   share/man/man1/flashquill.1.gz, flashquill-cli.1.gz
#   share/bash-completion/completions/flashquill-cli
#   share/zsh/vendor-completions/_flashquill-cli
#   share/fish/vendor_completions.d/flashquill-cli.fish
#   share/flashquill/games/*.gb       the demo games, to try the commands on
#   share/doc/flashquill/             copyright, changelog (made from NEWS)
#   lib/udev/rules.d/60-bridgewick-cable.rules
include(GNUInstallDirs)

set(_here ${CMAKE_CURRENT_LIST_DIR})
set(_out ${CMAKE_CURRENT_BINARY_DIR})
# Not CMAKE_INSTALL_LIBDIR: udev reads rules from lib/, never from a
# multiarch folder.
set(FQ_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule goes, below the install prefix")
set(FQ_GAMES_DIR_NAME ${CMAKE_INSTALL_DATADIR}/flashquill/games CACHE INTERNAL "Where the demo games go")
# For the installs made once the whole project is read, in the top folder's
# scope, where GNUInstallDirs' names are not set.
set(FQ_DATA_DIR_NAME ${CMAKE_INSTALL_DATADIR} CACHE INTERNAL "Where shared data goes")

install(FILES ${CMAKE_BINARY_DIR}/udev/60-bridgewick-cable.rules DESTINATION ${FQ_UDEV_RULES_DIR})
# Named by the application's id, which the metadata and the window give too.
install(FILES ${_here}/flashquill.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${FQ_APP_ID}.desktop)

# ---- the icon: the drawing, and pictures of the sizes menus ask for ----------
install(FILES ${_here}/../icons/flashquill.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(FQ_RSVG_CONVERT rsvg-convert)
if(FQ_RSVG_CONVERT)
  set(_pngs "")
  foreach(_size 16 24 32 48 64 128 256)
    set(_png ${_out}/icons/${_size}x${_size}/flashquill.png)
    add_custom_command(
      OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_out}/icons/${_size}x${_size}
      COMMAND ${FQ_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_here}/../icons/flashquill.svg
      DEPENDS ${_here}/../icons/flashquill.svg
      COMMENT "Drawing the ${_size}x${_size} icon"
      VERBATIM)
    list(APPEND _pngs ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
  add_custom_target(fq_icons ALL DEPENDS ${_pngs})
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed")
endif()

# ---- manual pages and the package's documents ---------------------------------
# The pages name installed paths, so they are filled in when installing, for
# the prefix installed into (the package's /usr as much as /usr/local), and
# compressed without a time stamp so that a rebuild gives the same bytes.
install(CODE "
  set(FQ_VERSION \"${PROJECT_VERSION}\")
  set(FQ_GAMES_INSTALL_DIR \"\${CMAKE_INSTALL_PREFIX}/${FQ_GAMES_DIR_NAME}\")
  set(FQ_UDEV_INSTALL_DIR \"\${CMAKE_INSTALL_PREFIX}/${FQ_UDEV_RULES_DIR}\")
  foreach(_page flashquill.1 flashquill-cli.1)
    configure_file(\"${_here}/../man/\${_page}\" \"${_out}/man/\${_page}\" @ONLY)
    file(REMOVE \"${_out}/man/\${_page}.gz\")
    execute_process(COMMAND gzip -9n \"${_out}/man/\${_page}\" COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL \"${_out}/man/\${_page}.gz\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
  endforeach()
")

# The Debian change log and the metadata's releases, made from NEWS when
# configuring (an edit of NEWS configures again); a NEWS whose newest
# release is not the project's version stops the configure step.
set(FQ_PACKAGE_CONTACT "Flashquill developers <flashquill@example.org>" CACHE STRING
    "Maintainer of the packages: name <address>")
set(FQ_HOMEPAGE "https://flashquill.example.org/" CACHE STRING
    "The project's web page, named by the metadata; its screenshots lie below it, as in docs/")
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(MAKE_DIRECTORY ${_out}/doc ${_out}/metainfo)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/NEWS
             ${_here}/../tools/ReleaseNotes.py)
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${_here}/../tools/ReleaseNotes.py ${PROJECT_SOURCE_DIR}/NEWS
          --version ${PROJECT_VERSION} --changelog ${_out}/doc/changelog --maintainer ${FQ_PACKAGE_CONTACT}
          --metainfo-releases ${_out}/metainfo/releases.xml
  RESULT_VARIABLE _result ERROR_VARIABLE _error)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${_error}")
endif()
add_custom_command(
  OUTPUT ${_out}/doc/changelog.gz
  COMMAND gzip -9nc ${_out}/doc/changelog > ${_out}/doc/changelog.gz
  DEPENDS ${_out}/doc/changelog ${PROJECT_SOURCE_DIR}/NEWS
  VERBATIM)
add_custom_target(fq_changelog ALL DEPENDS ${_out}/doc/changelog.gz)
install(FILES ${_here}/copyright ${_out}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/flashquill)

# ---- the software-centre metadata -------------------------------------------------
# The cable's USB numbers become the hardware it provides for, so a software
# centre can offer the package when the cable is plugged in.
string(TOUPPER "${FQ_USB_VENDOR_ID}" FQ_METAINFO_VENDOR)
string(TOUPPER "${FQ_USB_PRODUCT_ID}" FQ_METAINFO_PRODUCT)
set(FQ_METAINFO_HOMEPAGE "${FQ_HOMEPAGE}")
if(NOT FQ_METAINFO_HOMEPAGE MATCHES "/$")
  string(APPEND FQ_METAINFO_HOMEPAGE "/")
endif()
file(READ ${_out}/metainfo/releases.xml FQ_METAINFO_RELEASES)
set(FQ_METAINFO ${_out}/metainfo/${FQ_APP_ID}.metainfo.xml CACHE INTERNAL "The installed metadata, as built")
configure_file(${_here}/flashquill.metainfo.xml.in ${FQ_METAINFO} @ONLY)
install(FILES ${FQ_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# ---- the programs and the demo games -------------------------------------------
# Defined in other folders, possibly after this one: looked for once the
# whole project is read.
function(fq_install_programs)
  # The window by the first of its possible target names; its file is
  # flashquill whatever the target is called.
  foreach(_program flashquill flashquill-qt flashquill_qt)
    if(TARGET ${_program})
      install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
      break()
    endif()
  endforeach()
  if(TARGET flashquill-cli)
    install(TARGETS flashquill-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  if(FQ_GAME_IMAGES)
    install(FILES ${FQ_GAME_IMAGES} DESTINATION ${FQ_GAMES_DIR_NAME})
  endif()
  # Where bash-completion, zsh and fish look for the completions of packages.
  if(TARGET fq_completion_scripts)
    install(FILES ${FQ_COMPLETION_BASH} DESTINATION ${FQ_DATA_DIR_NAME}/bash-completion/completions)
    install(FILES ${FQ_COMPLETION_ZSH} DESTINATION ${FQ_DATA_DIR_NAME}/zsh/vendor-completions)
    install(FILES ${FQ_COMPLETION_FISH} DESTINATION ${FQ_DATA_DIR_NAME}/fish/vendor_completions.d)
  endif()

  # Everything the install takes, and nothing else (no tests): what a build
  # of only the package needs (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY, as the
  # reproducibility check builds it).
  add_custom_target(fq_package_files)
  foreach(_target flashquill flashquill-qt flashquill_qt flashquill-cli fq_icons fq_changelog fq_test_games
                  fq_completion_scripts)
    if(TARGET ${_target})
      add_dependencies(fq_package_files ${_target})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL fq_install_programs)
