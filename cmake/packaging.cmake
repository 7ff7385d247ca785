# `cpack` in a Release build makes a Debian package of both programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zindle-recorder-mcp)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "MCP server that controls the ZindleRecorder app, with a simulated app")
set(CPACK_PACKAGE_CONTACT "zindle_recorder_mcp maintainers <maintainers@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(NOT APPLE)
  # libcurl and ICU are opened at run time, so the linker cannot see that we
  # need them. ICU's package carries its major version in its name.
  string(REGEX MATCH "^[0-9]+" ZINDLE_ICU_MAJOR "${ICU_VERSION}")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libcurl4 | libcurl4t64, libicu${ZINDLE_ICU_MAJOR}")
endif()
include(CPack)
