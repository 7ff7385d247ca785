# The libraries the server is built with, and what it may load at run time.
#
#   zindle::simdjson  reads the app's answers. On a Mac the static archive, so
#                     that the installed server needs nothing but the system.
#   zindle::platform  the services that differ: on a Mac, CoreFoundation (text
#                     rules, version) and the system's libcurl; elsewhere the
#                     headers of libcurl and ICU, both loaded on first use.

find_package(nlohmann_json 3.10 REQUIRED)

add_library(zindle_platform INTERFACE)
add_library(zindle::platform ALIAS zindle_platform)
add_library(zindle_simdjson INTERFACE)
add_library(zindle::simdjson ALIAS zindle_simdjson)

# Homebrew installs simdjson both ways; the archive is named outright so
# that its dynamic library, outside the system, is never linked. Elsewhere
# an archive given as SIMDJSON_ARCHIVE is taken the same way (the stand-in
# Mac's build against Homebrew's version).
if(APPLE OR SIMDJSON_ARCHIVE)
  find_path(SIMDJSON_INCLUDE_DIR simdjson.h REQUIRED)
  find_library(SIMDJSON_ARCHIVE NAMES libsimdjson.a REQUIRED)
  target_include_directories(zindle_simdjson SYSTEM INTERFACE
                             ${SIMDJSON_INCLUDE_DIR})
  target_link_libraries(zindle_simdjson INTERFACE ${SIMDJSON_ARCHIVE})
else()
  find_package(simdjson REQUIRED)
  target_link_libraries(zindle_simdjson INTERFACE simdjson::simdjson)
endif()

if(APPLE)
  # The SDK's libcurl is /usr/lib/libcurl.4.dylib at run time: part of the
  # system, in its shared cache, so linking it costs the start-up nothing.
  find_library(ZINDLE_SYSTEM_CURL curl PATHS "${CMAKE_OSX_SYSROOT}/usr/lib"
               NO_DEFAULT_PATH REQUIRED)
  find_path(ZINDLE_SYSTEM_CURL_INCLUDE curl/curl.h
            PATHS "${CMAKE_OSX_SYSROOT}/usr/include" NO_DEFAULT_PATH REQUIRED)
  target_include_directories(zindle_platform SYSTEM INTERFACE
                             ${ZINDLE_SYSTEM_CURL_INCLUDE})
  target_link_libraries(zindle_platform INTERFACE ${ZINDLE_SYSTEM_CURL}
                        "-framework CoreFoundation")
else()
  # libcurl and ICU are opened on first use (src/link/curl_library_posix.cpp,
  # src/operations/unicode_icu.cpp): linking libcurl loads two dozen
  # libraries at every start, five times the server's own start-up, and
  # ICU adds half as much again. Only their headers are used here.
  find_package(CURL REQUIRED)
  find_package(ICU REQUIRED COMPONENTS uc)
  target_include_directories(zindle_platform SYSTEM INTERFACE
    $<TARGET_PROPERTY:CURL::libcurl,INTERFACE_INCLUDE_DIRECTORIES>
    ${ICU_INCLUDE_DIRS})
  target_link_libraries(zindle_platform INTERFACE ${CMAKE_DL_LIBS})
endif()

# Gives the server an information dictionary of its own on a Mac, inside the
# binary, so that the main-bundle lookup finds the server's version when it
# stands alone (and the app's when an app ships it inside its bundle).
function(zindle_embed_info target)
  if(NOT APPLE)
    return()
  endif()
  set(plist ${CMAKE_CURRENT_BINARY_DIR}/Info.plist)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Info.plist.in ${plist} @ONLY)
  target_link_options(${target} PRIVATE
                      "LINKER:-sectcreate,__TEXT,__info_plist,${plist}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${plist})
endfunction()

# Fails the build when the program would load a library outside the allowed
# set (on a Mac: the system's alone). Sanitizer and libc++ builds bring
# runtimes of their own and are not checked.
function(zindle_check_runtime target)
  if(ZINDLE_SANITIZE OR ZINDLE_LIBCXX)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/check_runtime.sh
            $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
