# SPDX-License-Identifier: GPL-3.0-or-later
# Runs part of a GoogleTest executable in one process and fails unless every
# test it lists for the filter has run to its verdict: a filter that matches
# less than it should, or a program end in the middle of a test, cannot pass.
#   cmake -DBINARY=exe -DFILTER=pattern [-DMINIMUM=n] [-DWRAPPER=cmd;args] -P RunLane.cmake
execute_process(COMMAND ${WRAPPER} ${BINARY} --gtest_list_tests --gtest_filter=${FILTER}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list the tests of ${BINARY}")
endif()
string(REGEX MATCHALL "\n  [^\n]+" listed "\n${listing}")
list(LENGTH listed expected)
if(DEFINED MINIMUM AND expected LESS MINIMUM)
    message(FATAL_ERROR "the filter ${FILTER} selects ${expected} tests, fewer than ${MINIMUM}")
endif()

execute_process(COMMAND ${WRAPPER} ${BINARY} --gtest_filter=${FILTER}
    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
message("${output}${errors}")
string(REGEX MATCHALL "\n\\[       OK \\] [^\n]+" passed "\n${output}")
string(REGEX MATCHALL "\n\\[  SKIPPED \\] [^ \n]+ \\([0-9]+ ms\\)" skipped "\n${output}")
list(LENGTH passed passedCount)
list(LENGTH skipped skippedCount)
math(EXPR ran "${passedCount} + ${skippedCount}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the run ended with status ${status}")
endif()
if(NOT ran EQUAL expected)
    message(FATAL_ERROR "${ran} of the ${expected} listed tests came to a verdict")
endif()
message("Lane: ${passedCount} passed, ${skippedCount} skipped of ${expected} listed")
