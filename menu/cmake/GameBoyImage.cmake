# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a Game Boy image from C (SDCC, -msm83) and SM83 assembly (sdasgb)
# on the menu's runtime: compile, link at 0x0150 with the runtime's start-up
# code first, makebin, then FinishImage.py writes the header and checksums.
#
#   fq_gameboy_image(<target> OUTPUT <file.gb> TITLE <title>
#       SOURCES <.c/.s ...> [INCLUDES <dirs>] [SIZE <bytes>] [TYPE n]
#       [ROM_CODE n] [RAM_CODE n] [VERSION n] [FINISH_ARGS ...] [DEPENDS ...])

find_program(FQ_SDCC sdcc)
find_program(FQ_SDASGB sdasgb)
find_program(FQ_MAKEBIN makebin)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FQ_PYTHON ${Python3_EXECUTABLE} CACHE INTERNAL "Python for the image steps")
if(NOT FQ_SDCC OR NOT FQ_SDASGB OR NOT FQ_MAKEBIN)
  message(FATAL_ERROR "The boot menu needs SDCC (sdcc, sdasgb, makebin): run scripts/bootstrap")
endif()

function(fq_gameboy_image TARGET)
  # Paths from this file, so images can be built from any folder.
  get_filename_component(FQ_MENU_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.. ABSOLUTE)
  set(FQ_RUNTIME_SOURCES
    ${FQ_MENU_DIR}/runtime/crt0.s
    ${FQ_MENU_DIR}/runtime/delay.s
    ${FQ_MENU_DIR}/runtime/Console.c
    ${FQ_MENU_DIR}/runtime/Joypad.c
    ${FQ_MENU_DIR}/runtime/Palette.c
    ${FQ_MENU_DIR}/runtime/FontLoad.c)
  cmake_parse_arguments(A "" "OUTPUT;TITLE;SIZE;TYPE;ROM_CODE;RAM_CODE;VERSION"
    "SOURCES;INCLUDES;FINISH_ARGS;DEPENDS" ${ARGN})
  foreach(_opt SIZE:32768 TYPE:0 ROM_CODE:0 RAM_CODE:0 VERSION:1)
    string(REPLACE ":" ";" _pair ${_opt})
    list(GET _pair 0 _name)
    list(GET _pair 1 _default)
    if(NOT DEFINED A_${_name})
      set(A_${_name} ${_default})
    endif()
  endforeach()

  set(_work ${CMAKE_CURRENT_BINARY_DIR}/${TARGET}.dir)
  file(MAKE_DIRECTORY ${_work})

  # The character set, made from its text source.
  add_custom_command(OUTPUT ${_work}/Font.c
    COMMAND ${FQ_PYTHON} ${FQ_MENU_DIR}/tools/MakeFont.py ${FQ_MENU_DIR}/font/Font.txt ${_work}/Font.c
    DEPENDS ${FQ_MENU_DIR}/tools/MakeFont.py ${FQ_MENU_DIR}/font/Font.txt
    COMMENT "Making the console font for ${TARGET}" VERBATIM)

  set(_includes -I${FQ_MENU_DIR}/runtime)
  foreach(_dir IN LISTS A_INCLUDES)
    list(APPEND _includes -I${_dir})
  endforeach()
  file(GLOB _headers ${FQ_MENU_DIR}/runtime/*.h ${FQ_MENU_DIR}/src/*.h)
  foreach(_dir IN LISTS A_INCLUDES)
    file(GLOB _more ${_dir}/*.h)
    list(APPEND _headers ${_more})
  endforeach()

  set(_objects)
  foreach(_src IN LISTS FQ_RUNTIME_SOURCES A_SOURCES ITEMS ${_work}/Font.c)
    get_filename_component(_name ${_src} NAME_WE)
    get_filename_component(_ext ${_src} LAST_EXT)
    set(_rel ${_work}/${_name}.rel)
    if(_ext STREQUAL ".s")
      add_custom_command(OUTPUT ${_rel}
        COMMAND ${FQ_SDASGB} -plosgff ${_rel} ${_src}
        DEPENDS ${_src} WORKING_DIRECTORY ${_work} VERBATIM)
    else()
      add_custom_command(OUTPUT ${_rel}
        COMMAND ${FQ_SDCC} -msm83 -c --std-sdcc11 ${_includes} ${_src} -o ${_rel}
        DEPENDS ${_src} ${_headers} WORKING_DIRECTORY ${_work} VERBATIM)
    endif()
    list(APPEND _objects ${_rel})
  endforeach()

  # crt0 is the first object, so its entry lands at 0x0150. Data starts at
  # 0xC100: 0xC000-0xC0FF stays free for hand-over and test marks.
  add_custom_command(OUTPUT ${_work}/${TARGET}.ihx
    COMMAND ${FQ_SDCC} -msm83 --no-std-crt0 --code-loc 0x0150 --data-loc 0xC100
            -o ${_work}/${TARGET}.ihx ${_objects}
    DEPENDS ${_objects} WORKING_DIRECTORY ${_work} VERBATIM)
  add_custom_command(OUTPUT ${_work}/${TARGET}.bin
    COMMAND ${FQ_MAKEBIN} -s ${A_SIZE} ${_work}/${TARGET}.ihx ${_work}/${TARGET}.bin
    DEPENDS ${_work}/${TARGET}.ihx VERBATIM)
  add_custom_command(OUTPUT ${A_OUTPUT}
    COMMAND ${FQ_PYTHON} ${FQ_MENU_DIR}/tools/FinishImage.py
            ${_work}/${TARGET}.ihx ${_work}/${TARGET}.bin ${A_OUTPUT}
            --title ${A_TITLE} --type ${A_TYPE} --rom-code ${A_ROM_CODE}
            --ram-code ${A_RAM_CODE} --version ${A_VERSION} --size ${A_SIZE}
            ${A_FINISH_ARGS}
    DEPENDS ${_work}/${TARGET}.bin ${FQ_MENU_DIR}/tools/FinishImage.py ${A_DEPENDS}
    COMMENT "Finishing ${A_OUTPUT}" VERBATIM)
  add_custom_target(${TARGET} ALL DEPENDS ${A_OUTPUT})
endfunction()
