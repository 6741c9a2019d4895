# Makes one look's style sheet from the shared template and the look's palette:
#   cmake -DTEMPLATE=template.qss -DPALETTE=STYLE_<n>.palette -DOUTPUT=STYLE_<n>.qss -P LookSheet.cmake
#
# The template names the values that differ between looks as @name; the palette gives each
# one as "name = value" (blank lines and lines starting with # are ignored), and @index is
# the <n> of the palette's file name. A palette that lacks a name the template uses, or gives
# one it does not use, stops the build: the toolkit would silently drop a rule holding a
# stray @name, and a value nobody reads is most likely a misspelt name.

cmake_minimum_required(VERSION 3.21)

foreach(var TEMPLATE PALETTE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "LookSheet.cmake needs -D${var}=...")
  endif()
endforeach()

function(palette_error message)
  message(FATAL_ERROR "${PALETTE}: ${message}")
endfunction()

get_filename_component(look "${PALETTE}" NAME_WE)
if(NOT look MATCHES "^STYLE_([0-9]+)$")
  palette_error("a palette is named STYLE_<n>.palette")
endif()
# Supplied here rather than by the palette; a template need not use it.
set(value_index "${CMAKE_MATCH_1}")
set(defined)

file(READ "${PALETTE}" rest)
set(line_number 0)
# Line by line without making a CMake list, which a ; or [ in a comment would upset.
while(NOT rest STREQUAL "")
  math(EXPR line_number "${line_number} + 1")
  string(FIND "${rest}" "\n" end)
  if(end EQUAL -1)
    set(line "${rest}")
    set(rest "")
  else()
    string(SUBSTRING "${rest}" 0 ${end} line)
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${rest}" ${end} -1 rest)
  endif()
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(NOT line MATCHES "^([a-z][a-z0-9-]*)[ \t]*=[ \t]*(.*)$")
    palette_error("line ${line_number} is not \"name = value\": ${line}")
  endif()
  set(name "${CMAKE_MATCH_1}")
  set(value "${CMAKE_MATCH_2}")
  if(name IN_LIST defined)
    palette_error("line ${line_number} gives ${name} a second time")
  endif()
  if(name STREQUAL "index")
    palette_error("line ${line_number} gives index, which the file name sets")
  endif()
  if(value STREQUAL "")
    palette_error("line ${line_number} gives ${name} no value")
  endif()
  # A value ends up inside a rule or the sheet's opening comment; these would end either early.
  if(value MATCHES "[;{}@]" OR value MATCHES "\\*/")
    palette_error("line ${line_number}: the value of ${name} may not hold ; { } @ or */")
  endif()
  if(value MATCHES "^#" AND NOT value MATCHES "^#[0-9a-fA-F][0-9a-fA-F][0-9a-fA-F][0-9a-fA-F][0-9a-fA-F][0-9a-fA-F]$")
    palette_error("line ${line_number}: ${name} = ${value} is not a #rrggbb colour")
  endif()
  list(APPEND defined "${name}")
  set("value_${name}" "${value}")
endwhile()

file(READ "${TEMPLATE}" sheet)
string(REGEX MATCHALL "@[a-z][a-z0-9-]*" used "${sheet}")
list(TRANSFORM used REPLACE "^@" "")
list(REMOVE_DUPLICATES used)

set(missing ${used})
list(REMOVE_ITEM missing index ${defined})
if(NOT missing STREQUAL "")
  list(JOIN missing ", " missing)
  palette_error("gives no value for ${missing}, which ${TEMPLATE} uses")
endif()
set(unused ${defined})
list(REMOVE_ITEM unused ${used})
if(NOT unused STREQUAL "")
  list(JOIN unused ", " unused)
  palette_error("gives ${unused}, which ${TEMPLATE} does not use")
endif()

# A name can begin another (@button, @button-text); in descending order the longer one is
# replaced first, so that the shorter never eats into it.
list(SORT used ORDER DESCENDING)
foreach(name IN LISTS used)
  string(REPLACE "@${name}" "${value_${name}}" sheet "${sheet}")
endforeach()
# Whatever @ is left did not look like a name at all (a capital, an underscore).
if(sheet MATCHES "@[^ \t\r\n;]*")
  message(FATAL_ERROR "${TEMPLATE}: \"${CMAKE_MATCH_0}\" is not a name of lower-case letters, digits and -")
endif()

file(WRITE "${OUTPUT}" "${sheet}")
