# Cross-compiling the Win32 build with mingw-w64 for i686. The -posix variants:
# GoogleTest needs std::mutex, which the win32 thread model of GCC 12 lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Reproducible output: the same tree gives the same bytes in any folder. No link
# time in the PE header, and no absolute path of the source or build folder in
# what the compiler writes (__FILE__, debug information).
get_filename_component(wh_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(wh_prefix_maps "-ffile-prefix-map=${wh_source_dir}=.")
if(CMAKE_BINARY_DIR)
  # After the source folder's map, so that it wins for a build folder inside it.
  string(APPEND wh_prefix_maps " -ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
endif()
set(CMAKE_C_FLAGS_INIT "${wh_prefix_maps}")
set(CMAKE_CXX_FLAGS_INIT "${wh_prefix_maps}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
