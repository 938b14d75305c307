# Runs the staged compiler on one interface file in the current directory
# and fails the build step when it fails or leaves a file out (a generation
# error removes the generated files and still ends with status 0).
#   cmake -DVELORIN_HOME=<installation> -DIDL=<file> -DOUTPUTS=<file>,<file>... -P run_velorin.cmake
# HOME points into the installation, so that no per-user configuration
# takes part.
set(ENV{VELORIN_HOME} ${VELORIN_HOME})
set(ENV{HOME} ${VELORIN_HOME})
# The compiler keeps its model to the end of the run by design; in a
# sanitizer build it is checked for everything but leaks.
if(DEFINED ENV{ASAN_OPTIONS})
  set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:detect_leaks=0")
else()
  set(ENV{ASAN_OPTIONS} "detect_leaks=0")
endif()
# The compiler's messages are shown only when something went wrong.
execute_process(COMMAND ${VELORIN_HOME}/bin/Velorin ${IDL} RESULT_VARIABLE status
  OUTPUT_VARIABLE messages ERROR_VARIABLE messages)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${messages}Velorin ${IDL} failed: ${status}")
endif()
string(REPLACE "," ";" outputs "${OUTPUTS}")
foreach(output ${outputs})
  if(NOT EXISTS ${output})
    message(FATAL_ERROR "${messages}Velorin ${IDL} did not write ${output}")
  endif()
endforeach()
