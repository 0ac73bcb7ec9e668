# Installs the build into a scratch prefix and runs the installed CGI program
# once, as the web server would, against the installed stand-in library.
# Run by CTest (test "install"): cmake -D BUILD_DIR=... -D PREFIX=... -D CGI_DIR=...
# -D LIB_DIR=... -D DATA_DIR=... [-D EMULATOR=...] [-D HARDENING_CHECK=script] -P this file.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(program ${PREFIX}/${CGI_DIR}/velorantis-helper)
foreach(file ${program} ${PREFIX}/${DATA_DIR}/velorantis/config.sql
        ${PREFIX}/${DATA_DIR}/velorantis/status.sql ${PREFIX}/${LIB_DIR}/libVelorantisAPI.so.2)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The build tree's library path must not travel with the program.
execute_process(COMMAND readelf --dynamic ${program} OUTPUT_VARIABLE dynamic)
if(dynamic MATCHES "RPATH|RUNPATH")
  message(FATAL_ERROR "the installed program has a run path:\n${dynamic}")
endif()

if(HARDENING_CHECK)
  execute_process(COMMAND bash ${HARDENING_CHECK} ${program} COMMAND_ERROR_IS_FATAL ANY)
endif()

separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
set(sim ${PREFIX}/sim)
file(WRITE ${sim}/devices "00:11:22:33:44:55 13\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QUERY_STRING=command=list VELORANTIS_SIM_DIR=${sim}
          LD_LIBRARY_PATH=${PREFIX}/${LIB_DIR} ${emulator} ${program}
  RESULT_VARIABLE status OUTPUT_VARIABLE output)
string(CONCAT expected
       "Content-type: application/json\n\n{\"root\": {\n\"result\": 0,\n\"message\": \"\",\n"
       "\"devices\": [\n{\n\"mac\": \"00:11:22:33:44:55\",\n\"type\": \"Velorantis-C30\"\n}]\n}}\n")
if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "the installed program answered (exit status ${status}):\n${output}")
endif()
