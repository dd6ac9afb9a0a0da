# Fails when a header or source directly in DIR includes a Qt widget header:
# QtWidgets itself, anything under QtWidgets/, or a name found in the QtWidgets
# header folder WIDGET_HEADERS, or a generated form header (ui_*.h).
file(GLOB _files "${DIR}/*.h" "${DIR}/*.cpp")
if(NOT _files)
  message(FATAL_ERROR "no sources found in ${DIR}")
endif()
set(_bad "")
foreach(_file IN LISTS _files)
  file(STRINGS "${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" _name "${_line}")
    if(_name MATCHES "^QtWidgets(/|$)" OR _name MATCHES "(^|/)ui_[^/]*\\.h$"
       OR (WIDGET_HEADERS AND EXISTS "${WIDGET_HEADERS}/${_name}"
           AND NOT IS_DIRECTORY "${WIDGET_HEADERS}/${_name}"))
      list(APPEND _bad "${_file}: ${_name}")
    endif()
  endforeach()
endforeach()
if(_bad)
  list(JOIN _bad "\n  " _text)
  message(FATAL_ERROR "widget headers included:\n  ${_text}")
endif()
