# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer, Flashquill-Setup-<version>.exe (target
# windows_installer of the mingw-w64 cross build): the window and the
# command line, a Start-menu entry, an uninstaller and the Bridgewick driver
# package, made with makensis from Flashquill.nsi.
#
# The build decides what goes in: a generated Files.nsh defines one name for
# each file this build has (FQ_WINDOW, FQ_CLI, FQ_DRIVER_*), and the script
# takes what is defined. Parts built in other folders join once they exist,
# so the lookup runs after the whole project is read.
find_program(FQ_MAKENSIS makensis)
find_program(FQ_RSVG_CONVERT rsvg-convert)
find_program(FQ_IMAGEMAGICK_CONVERT convert)

function(fq_windows_installer)
  if(NOT FQ_MAKENSIS)
    message(STATUS "makensis not found: the Windows installer is not built")
    return()
  endif()
  if(NOT TARGET flashquill-cli)
    return()
  endif()
  set(_src ${PROJECT_SOURCE_DIR}/packaging/windows)
  set(_out ${CMAKE_BINARY_DIR}/packaging/windows)
  set(_setup ${CMAKE_BINARY_DIR}/Flashquill-Setup-${PROJECT_VERSION}.exe)
  # The licence with Windows line ends, as the licence page and Notepad show it.
  set(_license ${_out}/LICENSE.txt)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${_license} @ONLY NEWLINE_STYLE CRLF)
  set(_lines "!define FQ_VERSION \"${PROJECT_VERSION}\"" "!define FQ_LICENSE \"${_license}\"")
  set(_depends ${_src}/Flashquill.nsi ${PROJECT_SOURCE_DIR}/LICENSE)
  set(_targets "")

  # The programs, by target: the command line, and the window by the first
  # of its possible target names this build defines. They go in without
  # their debugging information, a fraction of their size.
  set(_programs "flashquill-cli|FQ_CLI")
  foreach(_target flashquill flashquill-win32 flashquill_win32)
    if(TARGET ${_target})
      list(APPEND _programs "${_target}|FQ_WINDOW")
      break()
    endif()
  endforeach()
  foreach(_pair IN LISTS _programs)
    string(REPLACE "|" ";" _pair "${_pair}")
    list(GET _pair 0 _target)
    list(GET _pair 1 _name)
    set(_stripped ${_out}/${_target}.exe)
    if(CMAKE_STRIP)
      add_custom_command(OUTPUT ${_stripped} COMMAND ${CMAKE_STRIP} -o ${_stripped} $<TARGET_FILE:${_target}>
                         DEPENDS ${_target} VERBATIM)
    else()
      add_custom_command(OUTPUT ${_stripped} COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${_target}> ${_stripped}
                         DEPENDS ${_target} VERBATIM)
    endif()
    list(APPEND _lines "!define ${_name} \"${_stripped}\"")
    list(APPEND _depends ${_stripped})
  endforeach()

  # The driver package, by file: each name is defined when the build makes
  # that file. x64: installation description, image, catalog, test
  # certificate; x86: the 32-bit description and image.
  # The certificate exists only where the build signs the images.
  set(_certificate "")
  if(FQ_DRIVER_SIGNED)
    set(_certificate ${FQ_BRIDGEWICK_CER})
  endif()
  foreach(_pair "FQ_BRIDGEWICK_INF_X64|FQ_DRIVER_INF_X64" "FQ_BRIDGEWICK_SYS|FQ_DRIVER_SYS_X64"
                "FQ_BRIDGEWICK_CAT_X64|FQ_DRIVER_CAT_X64" "_certificate|FQ_DRIVER_CER"
                "FQ_BRIDGEWICK_INF|FQ_DRIVER_INF_X86" "FQ_BRIDGEWICK_SYS_X86|FQ_DRIVER_SYS_X86")
    string(REPLACE "|" ";" _pair "${_pair}")
    list(GET _pair 0 _variable)
    list(GET _pair 1 _name)
    if(${_variable})
      get_filename_component(_file ${${_variable}} NAME)
      list(APPEND _lines "!define ${_name} \"${${_variable}}\"" "!define ${_name}_NAME \"${_file}\"")
      list(APPEND _depends ${${_variable}})
    endif()
  endforeach()
  foreach(_target bridgewick_x64 bridgewick_x86 bridgewick_test_certificate bridgewick_x64_catalog)
    if(TARGET ${_target})
      list(APPEND _targets ${_target})
    endif()
  endforeach()

  # The installer's icon, drawn from the program's icon where the tools are.
  set(_icon_option "")
  if(FQ_RSVG_CONVERT AND FQ_IMAGEMAGICK_CONVERT)
    set(_icon ${_out}/flashquill.ico)
    set(_commands "")
    set(_pngs "")
    foreach(_size 16 32 48 256)
      list(APPEND _commands COMMAND ${FQ_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_out}/icon${_size}.png
                            ${PROJECT_SOURCE_DIR}/packaging/icons/flashquill.svg)
      list(APPEND _pngs ${_out}/icon${_size}.png)
    endforeach()
    add_custom_command(
      OUTPUT ${_icon}
      ${_commands}
      COMMAND ${FQ_IMAGEMAGICK_CONVERT} ${_pngs} ${_icon}
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/icons/flashquill.svg
      COMMENT "Drawing the installer's icon"
      VERBATIM)
    list(APPEND _depends ${_icon})
    set(_icon_option -DFQ_ICON=${_icon})
  endif()

  list(JOIN _lines "\n" _content)
  file(GENERATE OUTPUT ${_out}/Files.nsh CONTENT "${_content}\n")
  add_custom_command(
    OUTPUT ${_setup}
    COMMAND ${FQ_MAKENSIS} -V2 -NOCD -DFQ_FILES=${_out}/Files.nsh -DFQ_OUTFILE=${_setup} ${_icon_option}
            ${_src}/Flashquill.nsi
    DEPENDS ${_depends} ${_out}/Files.nsh ${_targets}
    WORKING_DIRECTORY ${_src}
    COMMENT "Making the Windows installer Flashquill-Setup-${PROJECT_VERSION}.exe"
    VERBATIM)
  add_custom_target(windows_installer DEPENDS ${_setup})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL fq_windows_installer)
