# SPDX-License-Identifier: MIT
# Compiles one include at a time with exactly the include path a core library builds with,
# so the layering shows up as a compile result: every header of a library the layer uses
# must compile, every header of a layer above it (or beside it) must not be found.
#
#   cmake -DCXX=<compiler> -DROWS=<file> -P check_layers.cmake
#
# Each line of ROWS: <library> <allowed|forbidden> <header> <include dir>[;<include dir>...]
file(STRINGS ${ROWS} rows)
set(failures "")
foreach(row ${rows})
    string(REPLACE " " ";" fields "${row}")
    list(GET fields 0 library)
    list(GET fields 1 expected)
    list(GET fields 2 header)
    list(SUBLIST fields 3 -1 dirs)
    string(REPLACE "," ";" dirs "${dirs}")
    set(flags "")
    foreach(dir ${dirs})
        list(APPEND flags "-I${dir}")
    endforeach()
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/layer_probe.cpp "#include \"${header}\"\n")
    execute_process(
        COMMAND ${CXX} -std=c++20 -fsyntax-only ${flags} ${CMAKE_CURRENT_BINARY_DIR}/layer_probe.cpp
        RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(expected STREQUAL "allowed" AND NOT result EQUAL 0)
        list(APPEND failures "${library} cannot include ${header}")
    elseif(expected STREQUAL "forbidden" AND result EQUAL 0)
        list(APPEND failures "${library} can include ${header} against the layering")
    endif()
endforeach()
if(failures)
    string(REPLACE ";" "\n  " text "${failures}")
    message(FATAL_ERROR "Layering broken:\n  ${text}")
endif()
list(LENGTH rows count)
message(STATUS "${count} include checks as the layering says")
