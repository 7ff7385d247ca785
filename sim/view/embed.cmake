# Writes OUTPUT, a C++ file that defines viewFiles() (sim/view_server.hpp):
# each of FILES, read from FOLDER, as a raw string literal, so that the page
# is built into the simulator exactly as it is written.
#   cmake -DFOLDER=... -DFILES="a;b" -DOUTPUT=... -P embed.cmake
set(delimiter "zindle_view")
set(entries "")
foreach(name IN LISTS FILES)
  file(READ "${FOLDER}/${name}" text)
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${name} holds the raw string's end, )${delimiter}\"")
  endif()
  string(APPEND entries
         "    {\"${name}\", R\"${delimiter}(${text})${delimiter}\"},\n")
endforeach()
file(CONFIGURE OUTPUT "${OUTPUT}" @ONLY CONTENT [=[
// Made by sim/view/embed.cmake from the files under sim/view/: edit those.
#include "sim/view_server.hpp"

namespace zindle::sim {
namespace {

const ViewFile kFiles[] = {
@entries@};

}  // namespace

std::span<const ViewFile> viewFiles() { return kFiles; }

}  // namespace zindle::sim
]=])
