# A build for the appliance: the maker's library (here the simulator's, by
# that name) in place of the simulator and the appliance's database paths.
# Configuring it must succeed and look for no program or package that only
# the tests use. Run by CTest (test appliance_configure): cmake
# -D SOURCE_DIR=... -D BUILD_DIR=... -D LIBRARY=... -P this file.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${BUILD_DIR})
file(MAKE_DIRECTORY ${BUILD_DIR})
file(COPY_FILE ${LIBRARY} ${BUILD_DIR}/libVelorantisAPI.so.2)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR}
                        -D VELORANTIS_API_LIBRARY=${BUILD_DIR}/libVelorantisAPI.so.2
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring for the appliance failed:\n${output}")
endif()
file(STRINGS ${BUILD_DIR}/CMakeCache.txt looked_for
     REGEX "^(VELORANTIS_[A-Za-z0-9]+(_PROGRAM)?|VALGRIND|GTest_DIR|nlohmann_json_DIR):FILEPATH|^(GTest|nlohmann_json)_DIR")
if(looked_for)
  message(FATAL_ERROR "configuring for the appliance looked for test tools:\n${looked_for}")
endif()
