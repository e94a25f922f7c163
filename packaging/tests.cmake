# Checks of what gets installed, label "package": the validators of the
# desktop entry, the metainfo and the manual pages, then the package itself,
# built into a folder of its own and unpacked there.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
find_program(GROFF groff)
find_program(LINTIAN lintian)
foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI GROFF LINTIAN)
  if(NOT ${tool})
    message(FATAL_ERROR "${tool} not found: run scripts/setup.sh")
  endif()
endforeach()

# Any output of these validators is a warning, and fails the test.
add_test(NAME package_desktop_entry
         COMMAND ${DESKTOP_FILE_VALIDATE} ${CMAKE_CURRENT_SOURCE_DIR}/${TAVELIN_APP_ID}.desktop)
foreach(page tavelin.1 tavelin-sim.1 tavelind.8)
  get_filename_component(name ${page} NAME_WE)
  add_test(NAME package_manual_${name}
           COMMAND ${GROFF} -man -ww -z ${CMAKE_CURRENT_SOURCE_DIR}/man/${page})
  list(APPEND quiet_tests package_manual_${name})
endforeach()
set_tests_properties(package_desktop_entry ${quiet_tests} PROPERTIES FAIL_REGULAR_EXPRESSION ".")
add_test(NAME package_metainfo
         COMMAND ${APPSTREAMCLI} validate --no-net --strict
                 ${CMAKE_CURRENT_SOURCE_DIR}/${TAVELIN_APP_ID}.metainfo.xml)

# The package: built once (a fixture), then checked unpacked in a folder of
# its own. cpack first builds the "all" target of this tree, a no-op in a
# built tree but a rebuild of the programs other tests run in one that is
# not: so it runs alone (a few seconds).
set(package_dir ${CMAKE_BINARY_DIR}/package-check)
set(package_file ${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_amd64.deb)
set(check ${CMAKE_CURRENT_SOURCE_DIR}/check_package.sh)
add_test(NAME package_build
         COMMAND ${check} build ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                 ${package_dir} ${package_file})
set_tests_properties(package_build PROPERTIES FIXTURES_SETUP tavelin_package RUN_SERIAL ON)
add_test(NAME package_runs_version COMMAND ${check} version ${package_dir} ${PROJECT_VERSION})
add_test(NAME package_lintian
         COMMAND ${LINTIAN} --fail-on error,warning ${package_dir}/${package_file})
add_test(NAME package_installed_tree
         COMMAND ${APPSTREAMCLI} validate-tree --no-net --strict ${package_dir}/root)
add_test(NAME package_runs_list_ports COMMAND ${check} list-ports ${package_dir})
# The service's unit, as systemd reads it: an instance on the unpacked tree.
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(NOT SYSTEMD_ANALYZE)
  message(FATAL_ERROR "systemd-analyze not found: run scripts/setup.sh")
endif()
add_test(NAME package_service_unit COMMAND ${check} unit ${package_dir} ${SYSTEMD_ANALYZE})
set(unpacked_tests package_runs_version package_runs_list_ports package_lintian package_installed_tree
                   package_service_unit)
set_tests_properties(${unpacked_tests} PROPERTIES FIXTURES_REQUIRED tavelin_package)

set_tests_properties(package_desktop_entry ${quiet_tests} package_metainfo package_build ${unpacked_tests}
                     PROPERTIES LABELS package TIMEOUT 300)
