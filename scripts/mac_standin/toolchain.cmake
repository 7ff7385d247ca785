# The stand-in Mac's CMake settings, given through CMAKE_TOOLCHAIN_FILE in
# the environment: CMake reads the system it runs on from the kernel, not
# from uname, so it is told here that it builds for macOS, with the
# stand-in's compilers and archive tools (bin/). Every other setting comes
# from the Mac's own scripts, as they are.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 23.6.0)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/bin/cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/bin/c++)
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/bin/ar CACHE FILEPATH "Xcode's ar")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/bin/ranlib
    CACHE FILEPATH "Xcode's ranlib")
