# velorantis_add_helper_with_paths(TARGET DIR): the CGI program as DIR/velorantis-helper,
# keeping its databases and its lock file in DIR instead of the configured
# paths (its roles file too), which it also sets in the caller's scope as VELORANTIS_OTHER_CONFIG_DB,
# VELORANTIS_OTHER_STATUS_DB and VELORANTIS_OTHER_LOCK_FILE. Several appliances
# on one host (the tests' fleet, a demonstration) need one such program each,
# and the tests one of their own where the paths built in are the appliance's:
# the paths are built in, and main() starts this one from DIR's instead.
function(velorantis_add_helper_with_paths target dir)
  file(MAKE_DIRECTORY ${dir})
  set(VELORANTIS_OTHER_CONFIG_DB "${dir}/velorantis-config.db")
  set(VELORANTIS_OTHER_STATUS_DB "${dir}/velorantis.db")
  set(VELORANTIS_OTHER_LOCK_FILE "${dir}/velorantis-device.lock")
  set(VELORANTIS_OTHER_RECORDS_DB "${dir}/velorantis-records.db")
  set(VELORANTIS_OTHER_ROLES_FILE "${dir}/velorantis-roles")
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/helper/main.cpp)
  foreach(path VELORANTIS_OTHER_CONFIG_DB VELORANTIS_OTHER_STATUS_DB VELORANTIS_OTHER_LOCK_FILE
               VELORANTIS_OTHER_RECORDS_DB VELORANTIS_OTHER_ROLES_FILE)
    target_compile_definitions(${target} PRIVATE ${path}="${${path}}")
    set(${path} "${${path}}" PARENT_SCOPE)
  endforeach()
  # Linked as the program is, so that it is the same program but for the paths.
  foreach(property LINK_LIBRARIES LINK_OPTIONS)
    get_target_property(values velorantis-helper ${property})
    if(values)
      set_property(TARGET ${target} PROPERTY ${property} ${values})
    endif()
  endforeach()
  velorantis_loads_device_library(${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME velorantis-helper
                                             RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()
