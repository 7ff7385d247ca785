# What installs the programs for their users: manual pages everywhere; on
# Linux the documents a Debian package carries; the MCP Bundle's manifest;
# and `cpack`, which makes one Debian package of the server alone and one of
# the simulator, so that the server does not pull in the simulator's HTTP and
# OSC libraries.

# Who answers for the packages, and where the project lives: one place for
# every package, bundle and formula that names them (scripts/formula.sh reads
# the homepage from here). Placeholders until the project has a public home.
set(ZINDLE_MAINTAINER
    "zindle_recorder_mcp developers <maintainers@zindle-recorder-mcp.org>")
set(ZINDLE_HOMEPAGE "https://zindle-recorder-mcp.org")
set(ZINDLE_REPOSITORY "https://zindle-recorder-mcp.org/zindle_recorder_mcp.git")
set(ZINDLE_SUPPORT "https://zindle-recorder-mcp.org/issues")

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
    # The README, where the client set-up is, and the upstream changelog.
    set(docs share/doc/${ZINDLE_DEB_PACKAGE})
    zindle_gzip(${PROJECT_SOURCE_DIR}/README.md ${staged}/README.md.gz)
    zindle_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${staged}/changelog.gz)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in
                   ${staged}/copyright COPYONLY)
    install(FILES ${staged}/README.md.gz ${staged}/changelog.gz
                  ${staged}/copyright
            DESTINATION ${docs} COMPONENT ${component})
    # What only the Debian package carries: installed when its component is
    # asked for by name, as cpack does, and never by a plain make install.
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
                   ${staged}/changelog.Debian @ONLY)
    zindle_gzip(${staged}/changelog.Debian ${staged}/changelog.Debian.gz)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides.in
                   ${staged}/lintian/${ZINDLE_DEB_PACKAGE} @ONLY)
    install(FILES ${staged}/changelog.Debian.gz
            DESTINATION ${docs} COMPONENT ${component} EXCLUDE_FROM_ALL)
    install(FILES ${staged}/lintian/${ZINDLE_DEB_PACKAGE}
            DESTINATION share/lintian/overrides
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endwhile()

# The MCP Bundle's manifest (make mcpb): the version, and the platform the
# build is for. Users install the Mac's; the Linux one is the end-to-end
# tests' and says so. The server is started through /bin/sh, which gives
# it its run bit first when it has none: the desktop app on macOS writes
# every file it unpacks with mode 0600, whatever the bundle stores, and
# could not start it directly (EACCES). A mode changes no signature.
if(APPLE)
  set(ZINDLE_MCPB_PLATFORM darwin)
  set(ZINDLE_MCPB_WHERE "The server finds the app on this Mac, reads its \
state and changes its settings; the app must be running, with its OSCQuery \
server on (port 9231 by default).")
else()
  set(ZINDLE_MCPB_PLATFORM linux)
  set(ZINDLE_MCPB_WHERE "This Linux bundle is a test build: the app runs \
only on a Mac, so here the server can only find zindle_recorder_sim, the \
app's stand-in, on this machine.")
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
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZINDLE_HOMEPAGE}")
# After cpack's strip, what dh_strip also takes off (packaging/debian).
set(CPACK_ZINDLE_OBJCOPY "${CMAKE_OBJCOPY}")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/strip.cmake)
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME zindle-recorder-mcp)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME zindle-recorder-sim)
if(NOT APPLE)
  # libcurl and ICU are opened at run time, so the linker cannot see that
  # the server needs them. ICU's package carries its major version.
  string(REGEX MATCH "^[0-9]+" ZINDLE_ICU_MAJOR "${ICU_VERSION}")
  set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS
      "libcurl4 | libcurl4t64, libicu${ZINDLE_ICU_MAJOR}")
  set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS zindle-recorder-sim)
endif()
# The first line is the synopsis; CPack indents the rest.
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "MCP server that controls the ZindleRecorder app
zindle_recorder_mcp lets an AI assistant record video with ZindleRecorder,
which records several live video sources (Syphon servers, NDI sources) to
movie files. An MCP client starts it and speaks JSON-RPC to it over its
standard input and output; it finds the app on the loopback ports, reads its
state over OSCQuery and changes its settings over OSC. The app runs only on
macOS: on Linux the server can only talk to zindle_recorder_sim, the app's
stand-in (package zindle-recorder-sim).")
set(CPACK_COMPONENT_SIM_DESCRIPTION
    "stand-in for the ZindleRecorder app, for trying its MCP server
zindle_recorder_sim publishes the same OSCQuery namespace as ZindleRecorder
and takes the same OSC commands, on the loopback interface only, so that
zindle_recorder_mcp can be tried and tested without the app. It records
nothing; scripted faults let the error paths be tried too.")
include(CPack)
