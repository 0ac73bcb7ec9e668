# velorantis_add_helper_with_paths(TARGET DIR): the CGI program as DIR/velorantis-helper,
# keeping its two databases and its lock file in DIR instead of the configured
# paths. Several appliances on one host (the tests' fleet, a demonstration)
# need one such program each: the paths are built in, and main() starts this
# one from DIR's instead.
function(velorantis_add_helper_with_paths target dir)
  file(MAKE_DIRECTORY ${dir})
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/helper/main.cpp)
  target_compile_definitions(${target} PRIVATE
    VELORANTIS_OTHER_CONFIG_DB="${dir}/velorantis-config.db"
    VELORANTIS_OTHER_STATUS_DB="${dir}/velorantis.db"
    VELORANTIS_OTHER_LOCK_FILE="${dir}/velorantis-device.lock")
  get_target_property(libraries velorantis-helper LINK_LIBRARIES)
  target_link_libraries(${target} PRIVATE ${libraries})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME velorantis-helper
                                             RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()
