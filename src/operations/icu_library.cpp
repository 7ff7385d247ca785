#include "operations/icu_library.hpp"

#include <unicode/uvernum.h>

#include "link/shared_library.hpp"

namespace zindle::operations {
namespace {

// The headers rename every entry point to carry the version ("u_strToLower"
// is really "u_strToLower_72"); spelling a name through the macro gives the
// symbol to look up.
#define ZINDLE_SPELLED(name) #name
#define ZINDLE_SYMBOL(name) ZINDLE_SPELLED(name)
#define ZINDLE_VERSION_TEXT ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM)

const IcuLibrary* loadLibrary() {
  // Where the build found ICU (Homebrew keeps it outside the loader's search
  // path), then the loader's own search.
#ifdef __APPLE__
  void* library = link::openFirstLibrary(
      {ZINDLE_ICU_LIBRARY_DIR "/libicuuc." ZINDLE_VERSION_TEXT ".dylib",
       "libicuuc." ZINDLE_VERSION_TEXT ".dylib"});
#else
  void* library = link::openFirstLibrary({ZINDLE_ICU_LIBRARY_DIR
                                          "/libicuuc.so." ZINDLE_VERSION_TEXT,
                                          "libicuuc.so." ZINDLE_VERSION_TEXT});
#endif
  if (library == nullptr) return nullptr;
  static IcuLibrary icu{};
  if (!link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strFromUTF8WithSub),
                            icu.fromUtf8) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strToUTF8), icu.toUtf8) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strToLower),
                            icu.toLower) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strFoldCase),
                            icu.foldCase) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(unorm2_getNFDInstance),
                            icu.nfdInstance) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(unorm2_normalize),
                            icu.normalize) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_charType), icu.charType)) {
    return nullptr;
  }
  return &icu;
}

}  // namespace

const IcuLibrary* icuLibrary() {
  static const IcuLibrary* const library = loadLibrary();
  return library;
}

}  // namespace zindle::operations
