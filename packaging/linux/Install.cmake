# The install layout on Linux, below CMAKE_INSTALL_PREFIX:
#   bin/flashquill, bin/flashquill-cli
#   share/applications/flashquill.desktop
#   share/icons/hicolor/scalable/apps/flashquill.svg and NxN/apps/flashquill.png
#   share/man/man1/flashquill.1.gz, flashquill-cli.1.gz
#   share/flashquill/games/*.gb       the demo games, to try the commands on
#   share/doc/flashquill/             copyright, changelog
#   lib/udev/rules.d/60-bridgewick-cable.rules
include(GNUInstallDirs)

set(_here ${CMAKE_CURRENT_LIST_DIR})
set(_out ${CMAKE_CURRENT_BINARY_DIR})
# Not CMAKE_INSTALL_LIBDIR: udev reads rules from lib/, never from a
# multiarch folder.
set(FQ_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule goes, below the install prefix")
set(FQ_GAMES_DIR_NAME ${CMAKE_INSTALL_DATADIR}/flashquill/games CACHE INTERNAL "Where the demo games go")

install(FILES ${CMAKE_BINARY_DIR}/udev/60-bridgewick-cable.rules DESTINATION ${FQ_UDEV_RULES_DIR})
install(FILES ${_here}/flashquill.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

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

# A Debian-style change log, dated from SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP FQ_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(FQ_PACKAGE_CONTACT "Flashquill developers <flashquill@example.org>" CACHE STRING
    "Maintainer of the packages: name <address>")
configure_file(${_here}/changelog.in ${_out}/doc/changelog @ONLY)
add_custom_command(
  OUTPUT ${_out}/doc/changelog.gz
  COMMAND gzip -9nc ${_out}/doc/changelog > ${_out}/doc/changelog.gz
  DEPENDS ${_out}/doc/changelog
  VERBATIM)
add_custom_target(fq_changelog ALL DEPENDS ${_out}/doc/changelog.gz)
install(FILES ${_here}/copyright ${_out}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/flashquill)

# ---- the programs and the demo games -------------------------------------------
# Defined in other folders, possibly after this one: looked for once the
# whole project is read.
function(fq_install_programs)
  foreach(_program flashquill flashquill-cli)
    if(TARGET ${_program})
      install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  if(FQ_GAME_IMAGES)
    install(FILES ${FQ_GAME_IMAGES} DESTINATION ${FQ_GAMES_DIR_NAME})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL fq_install_programs)
