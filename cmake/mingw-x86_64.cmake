# The same sources for x86-64 (PE32+), for machines that run no 32-bit
# code: the Wine tests run this build under 64-bit Wine. It never ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
