# What installs the programs for their users: manual pages everywhere; on
# Linux the documents a Debian package carries; the MCP Bundle's manifest;
# and `cpack`, which makes one Debian package of the server alone and one of
# the simulator, so that the server does not pull in the simulator's HTTP and
# OSC libraries.

# Who answers for the packages: one place for every package that names it.
set(ZINDLE_MAINTAINER
    "zindle_recorder_mcp developers <maintainers@zindle-recorder-mcp.org>")

# Compressed as Debian wants them: best, and without a time stamp.
function(zindle_gzip input output)
  get_filename_component(folder ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9nc ${input} OUTPUT_FILE ${output}
                  COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()

set(zindle_packages server zindle-recorder-mcp zindle_recorder_mcp
                    sim zindle-recorder-sim zindle_recorder_sim)
while(zindle_packages)
  list(POP_FRONT zindle_packages component ZINDLE_DEB_PACKAGE program)
  if(component STREQUAL "sim" AND NOT ZINDLE_SIM)
    break()
  endif()
  set(staged ${PROJECT_BINARY_DIR}/packaging/${component})
  zindle_gzip(${PROJECT_SOURCE_DIR}/packaging/man/${program}.1
              ${staged}/${program}.1.gz)
  install(FILES ${staged}/${program}.1.gz DESTINATION share/man/man1
          COMPONENT ${component})
  if(NOT APPLE)
    set(docs share/doc/${ZINDLE_DEB_PACKAGE})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
                   ${staged}/changelog.Debian @ONLY)
    zindle_gzip(${staged}/changelog.Debian ${staged}/changelog.Debian.gz)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in
                   ${staged}/copyright COPYONLY)
    install(FILES ${staged}/changelog.Debian.gz ${staged}/copyright
            DESTINATION ${docs} COMPONENT ${component})
  endif()
endwhile()

# The MCP Bundle's manifest (make mcpb): the version, and the platform the
# build is for.
if(APPLE)
  set(ZINDLE_MCPB_PLATFORM darwin)
else()
  set(ZINDLE_MCPB_PLATFORM linux)
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/mcpb/manifest.json.in
               ${PROJECT_BINARY_DIR}/mcpb/manifest.json @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL server)
if(ZINDLE_SIM)
  list(APPEND CPACK_COMPONENTS_ALL sim)
endif()
set(CPACK_PACKAGE_NAME zindle-recorder-mcp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZINDLE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME zindle-recorder-mcp)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME zindle-recorder-sim)
if(NOT APPLE)
  # libcurl and ICU are opened at run time, so the linker cannot see that
  # the server needs them. ICU's package carries its major version.
  string(REGEX MATCH "^[0-9]+" ZINDLE_ICU_MAJOR "${ICU_VERSION}")
  set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS
      "libcurl4 | libcurl4t64, libicu${ZINDLE_ICU_MAJOR}")
endif()
# The first line is the synopsis; CPack indents the rest.
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "MCP server that controls the ZindleRecorder app
zindle_recorder_mcp lets an AI assistant record video with ZindleRecorder,
which records several live video sources (Syphon servers, NDI sources) to
movie files. An MCP client starts it and speaks JSON-RPC to it over its
standard input and output; it finds the app on the loopback ports, reads its
state over OSCQuery and changes its settings over OSC.")
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "stand-in for the ZindleRecorder app, for trying its MCP server
zindle_recorder_sim publishes the same OSCQuery namespace as ZindleRecorder
and takes the same OSC commands, on the loopback interface only, so that
zindle_recorder_mcp can be tried and tested without the app. It records
nothing; scripted faults let the error paths be tried too.")
include(CPack)
