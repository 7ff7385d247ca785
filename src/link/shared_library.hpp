#pragma once
// Opening a shared library at run time and finding its entry points, for
// the libraries the server loads only once they are needed (libcurl, ICU).

#include <dlfcn.h>

#include <initializer_list>

namespace zindle::link {

// The first of `names` (paths or sonames, most likely first) that loads, or
// nullptr. RTLD_LOCAL keeps its symbols out of the way of anything else
// loaded; it stays loaded until the process ends.
inline void* openFirstLibrary(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return nullptr;
}

// Points `function` at the entry point `name` of `library`; false when the
// library has none.
template <typename Function>
bool bindEntryPoint(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

}  // namespace zindle::link
