# The real 32-bit Windows executable, the one that ships (mingw-w64 i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
