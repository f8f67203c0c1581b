# The MinGW-w64 cross build with the Qt for Windows that scripts/windows-qt builds:
# DUSKMEND_QT_PREFIX names its folder.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DUSKMEND_QT_PREFIX)
list(APPEND CMAKE_FIND_ROOT_PATH "${DUSKMEND_QT_PREFIX}")
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
# Qt's DLLs use MinGW's runtime DLLs; the programs share them, and ship them beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
