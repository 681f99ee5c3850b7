# Cross build for Windows with Debian's mingw-w64; the toolchain file of each
# architecture sets TOOLCHAIN_PREFIX and includes this.
set(CMAKE_SYSTEM_NAME Windows)

# The C++ runtime is linked into every program, so its thread model decides
# what the program imports besides its own calls. Each compiler is used in
# the model whose runtime imports only what Windows XP has: win32 before
# GCC 13, posix (winpthreads, linked statically) after. What each of the
# others imports, measured, is in docs/compatibility.md.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-gcc-win32 -dumpversion
                OUTPUT_VARIABLE gcc_version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(gcc_version VERSION_LESS 13)
  set(TINTWELL_THREAD_MODEL win32)
else()
  set(TINTWELL_THREAD_MODEL posix)
endif()

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${TINTWELL_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${TINTWELL_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
