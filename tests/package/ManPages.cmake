# SPDX-License-Identifier: GPL-3.0-or-later
# A man page as built: groff and man read it without a warning, and it names
# what a user looks for (options, files, exit statuses, an example).
#   cmake -DPAGE=<page.1> -DEXPECT=<text;text;...> -P ManPages.cmake

execute_process(COMMAND groff -ww -man -Tutf8 -z ${PAGE}
    RESULT_VARIABLE status ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff -ww on ${PAGE} (status ${status}):\n${warnings}")
endif()

set(ENV{MANWIDTH} 80)
set(ENV{LC_ALL} C) # plain hyphens at the line ends
execute_process(COMMAND man --warnings -l ${PAGE}
    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "man --warnings on ${PAGE} (status ${status}):\n${warnings}")
endif()

# man hyphenates at the line ends and pads between words: join the lines and
# squeeze the blanks before looking for a text.
string(REGEX REPLACE "-\n +" "" text "${text}")
string(REGEX REPLACE "[ \n]+" " " text "${text}")
foreach(expected IN LISTS EXPECT)
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${PAGE} lacks \"${expected}\"; it reads:\n${text}")
    endif()
endforeach()
