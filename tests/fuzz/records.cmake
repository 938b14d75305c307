# Writes the table of every XDR routine a generated header declares, one
# RECORD(<name>, <C type>) line each, for the decode fuzz target.
#   cmake -DHEADER=<base>.h -DTABLE=<file> -P records.cmake
file(STRINGS ${HEADER} prototypes REGEX "^bool_t xdr_[A-Za-z0-9_]+\\(XDR\\*, .*\\*\\);$")
set(table "")
foreach(prototype ${prototypes})
  string(REGEX REPLACE "^bool_t xdr_([A-Za-z0-9_]+)\\(XDR\\*, (.*)\\*\\);$" "RECORD(\\1, \\2)\n"
    line "${prototype}")
  string(APPEND table "${line}")
endforeach()
if(table STREQUAL "")
  message(FATAL_ERROR "no XDR routine declared in ${HEADER}")
endif()
file(WRITE ${TABLE}.new "${table}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TABLE}.new ${TABLE})
file(REMOVE ${TABLE}.new)
