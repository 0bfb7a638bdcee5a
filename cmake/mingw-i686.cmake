# Cross-compiling for 32-bit Windows consoles with the mingw-w64 i686 toolchain.
# The posix-threads variant: its libstdc++ has the full threading and
# filesystem support that the win32-threads one leaves out.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic, not the x87 unit: x87 keeps intermediates in 80 bits, so
# results would differ from the other platforms in the last bits, and a value
# like log10(10.0) could truncate to 0 instead of 1 before it is rounded to a
# double. Every Windows that still runs needs SSE2 anyway.
# GCC 12's -Wrestrict misfires inside libstdc++'s string concatenation at -O2
# (a compiler fault, not ours); the rest of the warnings stay errors.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -Wno-restrict")
