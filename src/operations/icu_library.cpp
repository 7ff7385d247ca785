#include "operations/icu_library.hpp"

#include <dlfcn.h>

#include <unicode/uvernum.h>

namespace zindle::operations {
namespace {

// The headers rename every entry point to carry the version ("u_strToLower"
// is really "u_strToLower_72"); spelling a name through the macro gives the
// symbol to look up.
#define ZINDLE_SPELLED(name) #name
#define ZINDLE_SYMBOL(name) ZINDLE_SPELLED(name)
#define ZINDLE_VERSION_TEXT ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM)

// Where the build found ICU (set by the build; Homebrew keeps ICU outside
// the loader's search path), then the loader's own search.
constexpr const char* kLibraryPaths[] = {
#ifdef __APPLE__
    ZINDLE_ICU_LIBRARY_DIR "/libicuuc." ZINDLE_VERSION_TEXT ".dylib",
    "libicuuc." ZINDLE_VERSION_TEXT ".dylib",
#else
    ZINDLE_ICU_LIBRARY_DIR "/libicuuc.so." ZINDLE_VERSION_TEXT,
    "libicuuc.so." ZINDLE_VERSION_TEXT,
#endif
};

void* openLibrary() {
  for (const char* path : kLibraryPaths) {
    // RTLD_LOCAL: its symbols stay out of the way of anything else loaded.
    if (void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
      return library;
    }
  }
  return nullptr;
}

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

const IcuLibrary* loadLibrary() {
  void* library = openLibrary();
  if (library == nullptr) return nullptr;
  static IcuLibrary icu{};
  if (!bind(library, ZINDLE_SYMBOL(u_strFromUTF8WithSub), icu.fromUtf8) ||
      !bind(library, ZINDLE_SYMBOL(u_strToUTF8), icu.toUtf8) ||
      !bind(library, ZINDLE_SYMBOL(u_strToLower), icu.toLower) ||
      !bind(library, ZINDLE_SYMBOL(u_strFoldCase), icu.foldCase) ||
      !bind(library, ZINDLE_SYMBOL(unorm2_getNFDInstance), icu.nfdInstance) ||
      !bind(library, ZINDLE_SYMBOL(unorm2_normalize), icu.normalize) ||
      !bind(library, ZINDLE_SYMBOL(u_charType), icu.charType)) {
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
