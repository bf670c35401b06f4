# The 64-bit build that the tests run under Wine.
set(VEXA_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
