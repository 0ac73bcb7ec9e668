# The reference web page: cmake --install puts web/ into
# share/velorantis/www (VELORANTIS_WEB_DIR) with the plotting library uPlot
# in its vendor/uplot/ folder, copied from web/node_modules (`npm ci` in
# web/) at the version web/package-lock.json pins. The installed folder
# refers to nothing outside itself; a web server serves it as it is.
set(VELORANTIS_WEB_DIR "${CMAKE_INSTALL_DATADIR}/velorantis/www" CACHE PATH
    "Where cmake --install puts the web page")

set(web_source ${PROJECT_SOURCE_DIR}/web)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${web_source}/package-lock.json ${web_source}/node_modules/uplot/package.json)
file(READ ${web_source}/package-lock.json web_lock)
string(JSON uplot_pinned GET "${web_lock}" packages node_modules/uplot version)
set(uplot_dir ${web_source}/node_modules/uplot)
set(uplot_present "")
if(EXISTS ${uplot_dir}/package.json)
  file(READ ${uplot_dir}/package.json uplot_package)
  string(JSON uplot_present GET "${uplot_package}" version)
endif()

if(uplot_present STREQUAL uplot_pinned)
  set(VELORANTIS_WEB_PAGE ON)
  install(DIRECTORY ${web_source}/ DESTINATION ${VELORANTIS_WEB_DIR} COMPONENT web
          PATTERN node_modules EXCLUDE PATTERN "package*.json" EXCLUDE)
  install(FILES ${uplot_dir}/dist/uPlot.esm.js ${uplot_dir}/dist/uPlot.min.css
                ${uplot_dir}/LICENSE
          DESTINATION ${VELORANTIS_WEB_DIR}/vendor/uplot COMPONENT web)
else()
  set(VELORANTIS_WEB_PAGE OFF)
  message(STATUS "Web page not installed: it needs uPlot ${uplot_pinned} in web/node_modules "
                 "(run npm ci in web/), found '${uplot_present}'")
endif()
