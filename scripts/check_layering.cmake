# SPDX-License-Identifier: GPL-3.0-or-later
# The layering check every build runs (src/CMakeLists.txt): each #include "..."
# of a source file under src/ must name a header of the file's own room or of a
# room it may use, directly or through the rooms it uses. The rooms, what each
# may use and the files that sit in another room than their folder's come from
# the rooms file the configuration writes.
# Usage: cmake -DSRC=<src folder> -DROOMS=<rooms file> -DSTAMP=<file> -P check_layering.cmake
cmake_minimum_required(VERSION 3.25)

include(${ROOMS})  # TOLVEX_ROOMS, TOLVEX_USES_<id>, TOLVEX_ROOM_OVERRIDES

function(room_id room out)
  string(MAKE_C_IDENTIFIER "${room}" id)
  set(${out} ${id} PARENT_SCOPE)
endfunction()

# The rooms a room may include: the rooms it uses and everything they may use.
foreach(room IN LISTS TOLVEX_ROOMS)
  room_id(${room} id)
  set(reach ${TOLVEX_USES_${id}})
  set(todo ${reach})
  while(todo)
    list(POP_FRONT todo next)
    room_id(${next} nid)
    foreach(r IN LISTS TOLVEX_USES_${nid})
      if(NOT r IN_LIST reach)
        list(APPEND reach ${r})
        list(APPEND todo ${r})
      endif()
    endforeach()
  endwhile()
  set(REACH_${id} ${reach})
endforeach()

# The room of a path relative to src/: its override, else its folder.
function(room_of path out)
  foreach(o IN LISTS TOLVEX_ROOM_OVERRIDES)
    string(REPLACE "=" ";" pair "${o}")
    list(GET pair 0 file)
    list(GET pair 1 room)
    if(file STREQUAL path)
      set(${out} ${room} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  get_filename_component(dir "${path}" DIRECTORY)
  if(dir IN_LIST TOLVEX_ROOMS)
    set(${out} ${dir} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# True when a file of `room` may include a header of `hroom`.
function(may_use room hroom out)
  room_id(${room} id)
  if(hroom STREQUAL room OR hroom IN_LIST REACH_${id})
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(errors "")
set(notes "")
foreach(folder IN LISTS TOLVEX_ROOMS)
  file(GLOB files RELATIVE ${SRC} ${SRC}/${folder}/*.h ${SRC}/${folder}/*.cpp)
  foreach(f IN LISTS files)
    room_of(${f} room)
    room_id(${room} id)
    file(STRINGS ${SRC}/${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    set(needsOverride FALSE)
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" inc "${line}")
      room_of(${inc} hroom)
      if(hroom STREQUAL "")
        string(APPEND errors "  src/${f} includes \"${inc}\", which is in no room\n")
        continue()
      endif()
      may_use(${room} ${hroom} ok)
      if(NOT ok)
        string(REPLACE ";" " " allowed "${REACH_${id}}")
        string(APPEND errors "  src/${f} includes \"${inc}\": ${room} may not use ${hroom}"
               " (${room} may use: ${allowed})\n")
      endif()
      may_use(${folder} ${hroom} okInFolder)
      if(NOT okInFolder)
        set(needsOverride TRUE)
      endif()
    endforeach()
    if(NOT room STREQUAL folder AND NOT needsOverride)
      string(APPEND notes "  src/${f} now fits its folder's room ${folder}: its override can go\n")
    endif()
  endforeach()
endforeach()

if(notes)
  message(NOTICE "Layering:\n${notes}")
endif()
if(errors)
  message(FATAL_ERROR "Layering: an #include runs against the arrows between rooms\n${errors}"
          "The rooms and what each may use are listed in src/CMakeLists.txt.")
endif()
file(TOUCH ${STAMP})
