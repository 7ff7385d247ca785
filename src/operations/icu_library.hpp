#pragma once
// ICU's common library, loaded the first time a text rule needs it instead of
// linked into the program: mapping it and its 30 MB data library at every
// start costs more than the rest of the server's start-up, and only
// recorder_configure and recorder_start ever compare texts.

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

namespace zindle::operations {

// The ICU entry points the text rules call, as found in the loaded library.
// They are ICU's C API, whose symbols carry the major version of the ICU the
// program was built with; a library of another version is not used.
struct IcuLibrary {
  decltype(&u_strFromUTF8WithSub) fromUtf8;
  decltype(&u_strToUTF8) toUtf8;
  decltype(&u_strToLower) toLower;
  decltype(&u_strFoldCase) foldCase;
  decltype(&unorm2_getNFDInstance) nfdInstance;
  decltype(&unorm2_normalize) normalize;
  decltype(&u_charType) charType;
};

// ICU, loaded by the first call (thread-safe); later calls return the same
// library. Returns nullptr, then and ever after, when the library of the
// build's major version cannot be found or lacks an entry point. It stays
// loaded until the process ends. Never throws.
const IcuLibrary* icuLibrary();

}  // namespace zindle::operations
