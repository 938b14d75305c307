# Runs the staged compiler on one interface file in the current directory
# and fails the build step when it fails or leaves a file out (a generation
# error removes the generated files and still ends with status 0).
#   cmake -DVELORIN_HOME=<installation> -DIDL=<file> -DOUTPUTS=<file>,<file>... -P run_velorin.cmake
# HOME points into the installation, so that no per-user configuration
# takes part.
set(ENV{VELORIN_HOME} ${VELORIN_HOME})
set(ENV{HOME} ${VELORIN_HOME})
execute_process(COMMAND ${VELORIN_HOME}/bin/Velorin ${IDL} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Velorin ${IDL} failed: ${status}")
endif()
string(REPLACE "," ";" outputs "${OUTPUTS}")
foreach(output ${outputs})
  if(NOT EXISTS ${output})
    message(FATAL_ERROR "Velorin ${IDL} did not write ${output}")
  endif()
endforeach()
