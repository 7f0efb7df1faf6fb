# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit Windows with Debian's mingw-w64. The -posix
# compilers carry the thread support that std::thread and friends need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_fq_triplet x86_64-w64-mingw32)

foreach(_lang C CXX)
  if(_lang STREQUAL "C")
    set(_tool gcc)
  else()
    set(_tool g++)
  endif()
  find_program(_fq_${_lang}_compiler NAMES ${_fq_triplet}-${_tool}-posix ${_fq_triplet}-${_tool} REQUIRED)
  set(CMAKE_${_lang}_COMPILER ${_fq_${_lang}_compiler})
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${_fq_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_fq_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
