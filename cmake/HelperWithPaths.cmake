# velorantis_add_helper_with_paths(TARGET DIR): the CGI program as DIR/velorantis-helper,
# keeping its two databases and its lock file in DIR instead of the configured
# paths. Several appliances on one host (a test fleet, a demonstration) need
# one such program each, as the paths are compiled in: the sources that take
# them are compiled again against a paths header of DIR's own, and the rest
# is linked as velorantis-helper links it.
function(velorantis_add_helper_with_paths target dir)
  file(GLOB_RECURSE helper_sources ${PROJECT_SOURCE_DIR}/src/helper/*.cpp)
  set(sources ${PROJECT_SOURCE_DIR}/src/helper/main.cpp)
  foreach(source IN LISTS helper_sources)
    file(STRINGS ${source} takes_paths REGEX "#include \"shared/paths.h\"")
    if(takes_paths)
      list(APPEND sources ${source})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES sources)
  set(VELORANTIS_CONFIG_DB ${dir}/velorantis-config.db)
  set(VELORANTIS_STATUS_DB ${dir}/velorantis.db)
  set(VELORANTIS_LOCK_FILE ${dir}/velorantis-device.lock)
  configure_file(${PROJECT_SOURCE_DIR}/src/shared/paths.h.in ${dir}/include/shared/paths.h @ONLY)
  add_executable(${target} ${sources})
  target_include_directories(${target} BEFORE PRIVATE ${dir}/include)
  get_target_property(libraries velorantis-helper LINK_LIBRARIES)
  target_link_libraries(${target} PRIVATE ${libraries})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME velorantis-helper
                                             RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()
