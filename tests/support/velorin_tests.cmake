# velorin_test(GTEST <target> [PREFIX <prefix>] | NAME <name> COMMAND <command> [argument...]
#              [NO_LEAK_CHECK] [INSTALLED] [PORTMAPPER] [SCRIPT]
#              [TIMEOUT <seconds>] [PROCESSORS <count>] [RESOURCE_LOCK <resource>...]
#              [ENVIRONMENT <variable=value>...])
#
# A test, or with GTEST every test of a GoogleTest program (named with the
# prefix), declared with what it needs:
#   NO_LEAK_CHECK  the sanitizer build's leak checker is off: the compiler's
#                  model lives until the process ends, by design;
#   INSTALLED      runs against the installation tree, which it finds in
#                  VELORIN_TEST_PREFIX, after the test that lays it out;
#   PORTMAPPER     needs the portmapper;
#   SCRIPT         an end-to-end script: it gets the source tree and the
#                  flags of this build for the programs it builds, and exit
#                  status 77 says that it was skipped;
#   PROCESSORS     how many processes it keeps busy, e.g. builds at once;
#   RESOURCE_LOCK  what it holds that another test of the run must not use
#                  at the same time (a fixed program number or port).
# Every test knows the configured C and C++ compilers: a GoogleTest program
# as the macros VELORIN_TEST_CC and VELORIN_TEST_CXX (and the installation
# tree as VELORIN_TEST_PREFIX), any other test as environment variables of
# those names.
#
# The tests of a GoogleTest program take at most one environment variable:
# gtest_discover_tests hands its properties on as one flat list, so a list
# value (two variables, two fixtures) would fall apart.
set(VELORIN_NO_LEAK_CHECK "ASAN_OPTIONS=detect_leaks=0")
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(velorin_test)
  cmake_parse_arguments(arg "NO_LEAK_CHECK;INSTALLED;PORTMAPPER;SCRIPT"
    "GTEST;PREFIX;NAME;TIMEOUT;PROCESSORS" "COMMAND;RESOURCE_LOCK;ENVIRONMENT" ${ARGN})
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "velorin_test: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  set(environment ${arg_ENVIRONMENT})
  set(fixtures)
  if(arg_NO_LEAK_CHECK)
    list(APPEND environment ${VELORIN_NO_LEAK_CHECK})
  endif()
  if(arg_INSTALLED)
    list(APPEND fixtures installed)
  endif()
  if(arg_PORTMAPPER)
    list(APPEND fixtures portmapper)
  endif()
  if(NOT arg_GTEST)
    list(APPEND environment "VELORIN_TEST_CC=${CMAKE_C_COMPILER}" "VELORIN_TEST_CXX=${CMAKE_CXX_COMPILER}")
    if(arg_INSTALLED)
      list(APPEND environment "VELORIN_TEST_PREFIX=${VELORIN_TEST_PREFIX}")
    endif()
  endif()
  if(arg_SCRIPT)
    list(APPEND environment "VELORIN_TEST_CC_FLAGS=${VELORIN_TEST_CC_FLAGS}"
      "VELORIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()

  set(properties)
  if(arg_SCRIPT)
    list(APPEND properties SKIP_RETURN_CODE 77)
  endif()
  foreach(property TIMEOUT PROCESSORS)
    if(arg_${property})
      list(APPEND properties ${property} ${arg_${property}})
    endif()
  endforeach()

  if(arg_GTEST)
    list(LENGTH environment variables)
    list(LENGTH fixtures fixture_count)
    list(LENGTH arg_RESOURCE_LOCK lock_count)
    if(variables GREATER 1 OR fixture_count GREATER 1 OR lock_count GREATER 1)
      message(FATAL_ERROR "velorin_test: the tests of ${arg_GTEST} can take one environment "
        "variable, one fixture and one resource lock")
    endif()
    if(environment)
      list(APPEND properties ENVIRONMENT ${environment})
    endif()
    if(fixtures)
      list(APPEND properties FIXTURES_REQUIRED ${fixtures})
    endif()
    if(arg_RESOURCE_LOCK)
      list(APPEND properties RESOURCE_LOCK ${arg_RESOURCE_LOCK})
    endif()
    target_compile_definitions(${arg_GTEST} PRIVATE VELORIN_TEST_CC="${CMAKE_C_COMPILER}"
      VELORIN_TEST_CXX="${CMAKE_CXX_COMPILER}")
    if(arg_INSTALLED)
      target_compile_definitions(${arg_GTEST} PRIVATE VELORIN_TEST_PREFIX="${VELORIN_TEST_PREFIX}")
    endif()
    set(prefix)
    if(arg_PREFIX)
      set(prefix TEST_PREFIX ${arg_PREFIX})
    endif()
    # Listing the tests of a sanitizer build on a loaded machine can take
    # longer than the default five seconds.
    gtest_discover_tests(${arg_GTEST} ${prefix} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  else()
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND})
    set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "${environment}" ${properties})
    if(fixtures)
      set_tests_properties(${arg_NAME} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
    endif()
    if(arg_RESOURCE_LOCK)
      set_tests_properties(${arg_NAME} PROPERTIES RESOURCE_LOCK "${arg_RESOURCE_LOCK}")
    endif()
  endif()
endfunction()
