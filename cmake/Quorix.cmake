# Project-wide compile settings and helpers for libraries and tests.

add_compile_options(-Wall -Wextra)

# CI builds everything twice on two cores: keep debug information small.
# Release: optimised, no debug information. Debug (the sanitized build): line tables only.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_DEBUG "-g1")
set(CMAKE_C_FLAGS_DEBUG "-g1")

if(QUORIX_SANITIZE)
  # -O1 keeps the sanitized tests quick without hiding anything from the sanitizers.
  add_compile_options(-O1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  add_compile_definitions(QUORIX_SANITIZE=1)
  # The tests start sanitized programs by the hundred. A position-dependent one is not relocated
  # at start; a position-independent one is, at hundreds of thousands of places, most of them in
  # the sanitizers' descriptors of the globals.
  add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
endif()

# The fuzz build (clang only, configured by quorix.sh fuzz): every library carries the fuzzer's
# coverage hooks and the sanitizers; only fuzz/ adds the fuzzer's own main.
option(QUORIX_FUZZ "Build the fuzz targets with libFuzzer (clang)" OFF)
if(QUORIX_FUZZ)
  # clang warns of overloads g++ accepts quietly; the g++ builds keep the project warning-free.
  add_compile_options(-O1 -g1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -Wno-overloaded-virtual)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  add_compile_definitions(QUORIX_SANITIZE=1 QUORIX_FUZZ=1)
endif()

# The soak test's build (configured by quorix.sh soak): ThreadSanitizer over everything.
option(QUORIX_TSAN "Build with ThreadSanitizer (the soak test)" OFF)
if(QUORIX_TSAN)
  add_compile_options(-O1 -g1 -fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

set(QUORIX_TEST_BATCH 12 CACHE STRING "Test files compiled together in one unit (0: all of a program's)")
# A sanitized program takes a large part of a second to start and to check for leaks at exit:
# the sanitized build runs each suite's cases in one process, the release build each case alone.
option(QUORIX_TEST_PER_SUITE "One test process per GoogleTest suite rather than per case" ${QUORIX_SANITIZE})

# quorix_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>] [LABELS <labels...>])
# One GoogleTest executable; every test case (every suite with QUORIX_TEST_PER_SUITE) becomes a
# CTest test.
function(quorix_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # The tests' own code is built unoptimised: optimising it took over half of each test file's
  # compile time. What the tests exercise, the libraries, stays built as the build type says.
  target_compile_options(${name} PRIVATE -O0)
  # Each test file costs little beside the headers every one of them parses: the files are built
  # in batches, one compile for several (a file whose own helpers share names with another's keeps
  # them in a namespace of its own). In a batch g++ takes every file after the first for a
  # header and warns of fixtures in anonymous namespaces, which is right for a source file.
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${QUORIX_TEST_BATCH})
  target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
  # Parsing the test framework dominates the build of every test file. One header image (over
  # 100 MB) serves every test program; one per program filled small build disks.
  if(NOT TARGET quorix_test_pch)
    set(pch_source "${CMAKE_BINARY_DIR}/quorix_test_pch.cpp")
    file(WRITE "${pch_source}" "int main() { return 0; }\n")
    add_executable(quorix_test_pch "${pch_source}")
    target_link_libraries(quorix_test_pch PRIVATE GTest::gmock GTest::gtest)
    target_compile_options(quorix_test_pch PRIVATE -O0)
    target_precompile_headers(quorix_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  target_precompile_headers(${name} REUSE_FROM quorix_test_pch)
  set(props TIMEOUT 600)
  if(T_ENVIRONMENT)
    list(APPEND props ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(NOT QUORIX_TEST_PER_SUITE)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
      PROPERTIES ${props})
    return()
  endif()
  # One CTest test per suite, listed when CTest starts (as gtest_discover_tests does in PRE_TEST);
  # the cases' results go to test-results/, where quorix.sh counts them.
  list(REMOVE_AT props 0 1)
  set(quoted "")
  foreach(item IN LISTS props)
    string(APPEND quoted " [==[${item}]==]")
  endforeach()
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake")
  set(script "${PROJECT_SOURCE_DIR}/cmake/QuorixTestSuites.cmake")
  file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake" CONTENT
"if(EXISTS [==[$<TARGET_FILE:${name}>]==])
  if(NOT EXISTS [==[${list_file}]==] OR
     NOT [==[${list_file}]==] IS_NEWER_THAN [==[$<TARGET_FILE:${name}>]==] OR
     NOT [==[${list_file}]==] IS_NEWER_THAN [==[${script}]==] OR
     NOT [==[${list_file}]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")
    set(QT_PROGRAM [==[$<TARGET_FILE:${name}>]==])
    set(QT_DIR [==[${CMAKE_CURRENT_BINARY_DIR}]==])
    set(QT_FILE [==[${list_file}]==])
    set(QT_RESULTS [==[${CMAKE_BINARY_DIR}/test-results]==])
    set(QT_PROPERTIES [===[${quoted}]===])
    include([==[${script}]==])
  endif()
  include([==[${list_file}]==])
else()
  add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake")
endfunction()
