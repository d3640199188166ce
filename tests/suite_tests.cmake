# Read by ctest (each test program's include file calls zr_suite_tests):
# the program's tests, listed by the program itself when ctest starts, one
# ctest test for each suite, run as one process with --gtest_filter=Suite.*.
# A process costs the sanitizer builds a fifth of a second of start and
# leak check; most suites hold several tests. The suites named in FRESH hold
# tests of what a process does before anything has started in it: each of
# their tests runs in a process of its own. A test is named
# "<folder>:<suite>.*" or "<folder>:<suite>.<test>"; a suite whose tests are
# all disabled is added as disabled.
#
#   zr_suite_tests(PROGRAM FOLDER TIMEOUT "Suite;Suite..." "ENV=1;ENV=2")
function(zr_suite_tests program folder timeout fresh environment)
  execute_process(COMMAND "${program}" --gtest_list_tests
                  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 120)
  if(NOT status EQUAL 0)
    # A test that fails with the listing's own failure, so that the run shows it.
    add_test("${folder}:listing" "${program}" --gtest_list_tests)
    set_tests_properties("${folder}:listing" PROPERTIES LABELS "${folder}" ENVIRONMENT "${environment}")
    return()
  endif()
  # Parameter values (after '#') may hold any character: left out.
  string(REGEX REPLACE "#[^\n]*" "" listing "${listing}")
  string(REPLACE ";" "" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  set(suites)
  set(suite "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" name)
    if(name STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^ ")
      # "Suite." (gtest prints notes before the list on some settings: those end otherwise).
      if(name MATCHES "^(.+)\\.$")
        set(suite "${CMAKE_MATCH_1}")
        list(APPEND suites "${suite}")
        set(tests_${suite})
      else()
        set(suite "")
      endif()
    elseif(NOT suite STREQUAL "")
      list(APPEND tests_${suite} "${name}")
    endif()
  endforeach()
  foreach(suite IN LISTS suites)
    list(LENGTH tests_${suite} count)
    if(count EQUAL 0)
      continue()
    endif()
    set(enabled 0)
    foreach(test IN LISTS tests_${suite})
      if(NOT suite MATCHES "^DISABLED_" AND NOT test MATCHES "^DISABLED_")
        math(EXPR enabled "${enabled} + 1")
      endif()
    endforeach()
    list(FIND fresh "${suite}" fresh_index)
    if(fresh_index GREATER -1)
      foreach(test IN LISTS tests_${suite})
        set(name "${folder}:${suite}.${test}")
        add_test("${name}" "${program}" "--gtest_filter=${suite}.${test}")
        set_tests_properties("${name}" PROPERTIES TIMEOUT ${timeout} LABELS "${folder}" ENVIRONMENT "${environment}")
        if(suite MATCHES "^DISABLED_" OR test MATCHES "^DISABLED_")
          set_tests_properties("${name}" PROPERTIES DISABLED TRUE)
        endif()
      endforeach()
    else()
      # Twice the folder's time for one test: a suite's tests together take
      # less than the most one of them may take.
      set(name "${folder}:${suite}.*")
      math(EXPR suite_timeout "${timeout} * 2")
      add_test("${name}" "${program}" "--gtest_filter=${suite}.*")
      set_tests_properties("${name}" PROPERTIES TIMEOUT ${suite_timeout} LABELS "${folder}" ENVIRONMENT "${environment}")
      if(enabled EQUAL 0)
        set_tests_properties("${name}" PROPERTIES DISABLED TRUE)
      endif()
    endif()
  endforeach()
endfunction()
