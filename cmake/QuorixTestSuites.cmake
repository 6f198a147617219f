# Included by CTest before the tests run (see quorix_test): lists a test program's cases and adds
# one CTest test per GoogleTest suite, which runs the suite's cases in one process. Written again
# when the program is newer than the list. Each suite writes its cases' results to QT_RESULTS.
#   QT_PROGRAM, QT_DIR (working folder), QT_FILE (the list written), QT_RESULTS (a folder),
#   QT_PROPERTIES (of every test)

execute_process(COMMAND "${QT_PROGRAM}" --gtest_list_tests
  WORKING_DIRECTORY "${QT_DIR}"
  TIMEOUT 120
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${QT_PROGRAM} --gtest_list_tests failed (${result}):\n${listing}")
endif()

string(REPLACE ";" "," listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
set(suite "")
set(cases 0)
macro(add_suite)
  if(NOT suite STREQUAL "" AND cases GREATER 0)
    get_filename_component(program_name "${QT_PROGRAM}" NAME)
    string(REPLACE "/" "_" report "${program_name}.${suite}.xml")
    # Ten minutes, as for a case alone, and one more for each further case.
    math(EXPR timeout "540 + 60 * ${cases}")
    string(APPEND script
      "add_test([==[${suite}.*]==] [==[${QT_PROGRAM}]==] [==[--gtest_filter=${suite}.*]==]"
      " [==[--gtest_output=xml:${QT_RESULTS}/${report}]==])\n"
      "set_tests_properties([==[${suite}.*]==] PROPERTIES WORKING_DIRECTORY [==[${QT_DIR}]==]"
      " TIMEOUT ${timeout} ${QT_PROPERTIES})\n")
  endif()
endmacro()
foreach(line IN LISTS lines)
  if(line MATCHES "^  ([^ ]+)")
    # A case; a disabled one is not run, as in the program's own run.
    if(NOT CMAKE_MATCH_1 MATCHES "^DISABLED_")
      math(EXPR cases "${cases} + 1")
    endif()
  elseif(line MATCHES "^([^ ]+)\\.( +#.*)?$")
    add_suite()
    set(suite "${CMAKE_MATCH_1}")
    set(cases 0)
    if(suite MATCHES "^DISABLED_")
      set(suite "")
    endif()
  endif()
endforeach()
add_suite()
file(WRITE "${QT_FILE}" "${script}")
