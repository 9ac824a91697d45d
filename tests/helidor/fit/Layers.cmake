# SPDX-License-Identifier: GPL-3.0-or-later
# The fit's place below the window program: its files include only each
# other, the shared code and the picture decoders' front (no Qt, no console,
# no window module), and no module but LimbFit, which calls them, and the
# finder, which calls it, includes LimbFit.h.
#   cmake -DROOT=<repository> -P Layers.cmake
cmake_policy(VERSION 3.25)
file(GLOB sources ${ROOT}/helidor/fit/*.h ${ROOT}/helidor/fit/*.cpp)
file(GLOB allowed RELATIVE ${ROOT} ${ROOT}/helidor/fit/*.h ${ROOT}/shared/*.h)
list(TRANSFORM allowed REPLACE ".*/" "")
list(APPEND allowed JpegGuard.h)
set(faults)
foreach(source ${sources})
    get_filename_component(module ${source} NAME_WE)
    file(STRINGS ${source} includes REGEX "^#include")
    foreach(line ${includes})
        string(REGEX REPLACE "^#include [\"<]([^\">]*)[\">].*" "\\1" header "${line}")
        if((line MATCHES "\"" AND NOT header IN_LIST allowed) OR header MATCHES "^Q"
            OR (header STREQUAL "LimbFit.h" AND NOT module MATCHES "^(LimbFit|Finder)$"))
            list(APPEND faults "${source}: ${line}")
        endif()
    endforeach()
endforeach()
list(LENGTH sources count)
if(count LESS 14)
    message(FATAL_ERROR "only ${count} files in ${ROOT}/helidor/fit")
endif()
if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "includes across the fit's layers:\n${text}")
endif()
