# SPDX-License-Identifier: GPL-3.0-or-later
# The real helidor binary on its command line, one case per test:
#   cmake -DHELIDOR=<binary> -DVERSION=<project version> -DCASE=<case> -P CommandLine.cmake
# Each case checks the exit status and which stream got which text.

function(run_helidor)
    cmake_parse_arguments(RUN "" "OUTPUT_FILE" "ARGS" ${ARGN})
    set(output_file)
    if(RUN_OUTPUT_FILE)
        set(output_file OUTPUT_FILE ${RUN_OUTPUT_FILE})
    endif()
    execute_process(COMMAND ${HELIDOR} ${RUN_ARGS}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err ${output_file}
        TIMEOUT 30)
    set(status "${status}" PARENT_SCOPE)
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
    if(NOT "${actual}" STREQUAL "${expected}")
        message(FATAL_ERROR "${what}: got [${actual}], expected [${expected}]")
    endif()
endfunction()

function(expect_match what actual pattern)
    if(NOT "${actual}" MATCHES "${pattern}")
        message(FATAL_ERROR "${what}: [${actual}] does not match [${pattern}]")
    endif()
endfunction()

set(usage_line "Usage: helidor \\[--help \\| --version\\]\n")

if(CASE STREQUAL "help")
    run_helidor(ARGS --help)
    expect("status" "${status}" 0)
    expect("standard error" "${err}" "")
    expect_match("help" "${out}" "^${usage_line}")
    expect_match("help" "${out}" "\n  --help     show this help and end\n")
    expect_match("help" "${out}" "\n  --version  show the version and end\n")
    # Help that cannot be written is an error, not a silent success.
    run_helidor(ARGS --help OUTPUT_FILE /dev/full)
    expect("status on a full disk" "${status}" 1)
    expect("message" "${err}" "helidor: cannot write to standard output\n")
elseif(CASE STREQUAL "version")
    run_helidor(ARGS --version)
    expect("status" "${status}" 0)
    expect("standard error" "${err}" "")
    expect_match("version" "${out}" "^helidor [0-9]+\\.[0-9]+\\.[0-9]+\n$")
    expect("version" "${out}" "helidor ${VERSION}\n")
elseif(CASE STREQUAL "unknown")
    run_helidor(ARGS --verison)
    expect("status" "${status}" 2)
    expect("standard output" "${out}" "")
    expect("message" "${err}"
        "helidor: unknown option '--verison'\nUsage: helidor [--help | --version]\n")
    # A good option does not hide a bad one after it.
    run_helidor(ARGS --help -x)
    expect("status" "${status}" 2)
    expect("standard output" "${out}" "")
    expect_match("message" "${err}" "^helidor: unknown option '-x'\n${usage_line}$")
    # The program takes no picture name on its command line.
    run_helidor(ARGS Sun.bmp)
    expect("status" "${status}" 2)
    expect_match("message" "${err}" "^helidor: unexpected argument 'Sun.bmp'\n${usage_line}$")
    # Control characters of an argument reach the terminal as escapes only.
    string(ASCII 27 escape)
    string(ASCII 7 bell)
    run_helidor(ARGS "--${escape}[2J${bell}")
    expect("status" "${status}" 2)
    expect("message" "${err}"
        "helidor: unknown option '--\\x1b[2J\\x07'\nUsage: helidor [--help | --version]\n")
elseif(CASE STREQUAL "together")
    # Help and version together, in any order: the help.
    foreach(arguments "--help;--version" "--version;--help")
        run_helidor(ARGS ${arguments})
        expect("status" "${status}" 0)
        expect("standard error" "${err}" "")
        expect_match("help" "${out}" "^${usage_line}Measures ")
    endforeach()
    run_helidor(ARGS --version --help OUTPUT_FILE /dev/full)
    expect("status on a full disk" "${status}" 1)
    expect("message" "${err}" "helidor: cannot write to standard output\n")
elseif(CASE STREQUAL "nodisplay")
    # No window system to reach: one line in both languages and status 1,
    # not Qt's abort (134) with its plugin report.
    set(line "helidor: needs a graphical desktop (DISPLAY or WAYLAND_DISPLAY unset or unusable)")
    string(APPEND line " / braucht eine grafische Oberfläche (DISPLAY oder WAYLAND_DISPLAY")
    string(APPEND line " nicht gesetzt oder nicht nutzbar)\n")
    # env(1) execs the program, so that an abort shows as one (cmake -E env says 1).
    set(unset -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
    execute_process(COMMAND env -u DISPLAY ${unset} ${HELIDOR}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
    expect("status without DISPLAY" "${status}" 1)
    expect("standard output" "${out}" "")
    expect("message without DISPLAY" "${err}" "${line}")
    # A display that is set but does not answer (no server has that number).
    if(EXISTS /tmp/.X11-unix/X4093)
        message(FATAL_ERROR "display :4093 exists here; pick another for this test")
    endif()
    execute_process(COMMAND env ${unset} DISPLAY=:4093 ${HELIDOR}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
    expect("status with an unusable DISPLAY" "${status}" 1)
    expect("standard output" "${out}" "")
    expect("message with an unusable DISPLAY" "${err}" "${line}")
elseif(CASE STREQUAL "none")
    # Without arguments the window opens and waits in its first question:
    # still running when the timeout ends it, nothing on standard output.
    execute_process(COMMAND timeout 3 ${HELIDOR}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    expect("status (124: still running after 3 s)" "${status}" 124)
    expect("standard output" "${out}" "")
else()
    message(FATAL_ERROR "unknown case '${CASE}'")
endif()
