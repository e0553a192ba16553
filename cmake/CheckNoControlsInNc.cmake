# Fails when a file of the interpreter (src/nc) names a control of the main window: the interpreter
# reports machine actions and a modal display; which label or button shows them is app/'s business.
file(GLOB_RECURSE files ${SRC}/nc/*.h ${SRC}/nc/*.cpp)
set(bad "")
foreach(f ${files})
  file(STRINGS "${f}" lines REGEX "(label_|sb_|menu_|panel_|TrackBar)")
  if(lines)
    list(APPEND bad "${f}: ${lines}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "window controls named under src/nc:\n${bad}")
endif()
message(STATUS "no window controls named under src/nc")
