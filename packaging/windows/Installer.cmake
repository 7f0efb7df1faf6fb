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
  set(_lines "!define FQ_VERSION \"${PROJECT_VERSION}\"")
  set(_depends ${_src}/Flashquill.nsi)
  set(_targets "")

  # The programs, by target.
  foreach(_pair "flashquill-cli|FQ_CLI" "flashquill|FQ_WINDOW")
    string(REPLACE "|" ";" _pair "${_pair}")
    list(GET _pair 0 _target)
    list(GET _pair 1 _name)
    if(TARGET ${_target})
      list(APPEND _lines "!define ${_name} \"$<TARGET_FILE:${_target}>\"")
      list(APPEND _targets ${_target})
    endif()
  endforeach()

  # The driver package, by file: each name is defined when the build makes
  # that file. x64: installation description, image, catalog, test
  # certificate; x86: the 32-bit description and image.
  foreach(_pair "FQ_BRIDGEWICK_INF_X64|FQ_DRIVER_INF_X64" "FQ_BRIDGEWICK_SYS|FQ_DRIVER_SYS_X64"
                "FQ_BRIDGEWICK_CAT_X64|FQ_DRIVER_CAT_X64" "FQ_BRIDGEWICK_CER|FQ_DRIVER_CER"
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
  foreach(_target bridgewick_x64 bridgewick_x86 bridgewick_signed)
    if(TARGET ${_target})
      list(APPEND _targets ${_target})
    endif()
  endforeach()

  list(JOIN _lines "\n" _content)
  file(GENERATE OUTPUT ${_out}/Files.nsh CONTENT "${_content}\n")
  add_custom_command(
    OUTPUT ${_setup}
    COMMAND ${FQ_MAKENSIS} -V2 -NOCD -DFQ_FILES=${_out}/Files.nsh -DFQ_OUTFILE=${_setup} ${_src}/Flashquill.nsi
    DEPENDS ${_depends} ${_out}/Files.nsh ${_targets}
    WORKING_DIRECTORY ${_src}
    COMMENT "Making the Windows installer Flashquill-Setup-${PROJECT_VERSION}.exe"
    VERBATIM)
  add_custom_target(windows_installer DEPENDS ${_setup})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL fq_windows_installer)
