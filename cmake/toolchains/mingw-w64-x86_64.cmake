# 64-bit Windows with Debian's mingw-w64, posix thread model (std::thread and std::mutex need it).
# The runtime is linked in statically, so the programs run under Wine or on Windows without DLLs
# beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(q4471_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${q4471_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${q4471_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${q4471_mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${q4471_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test programs (and GoogleTest's discovery of their tests) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tools/wine/wine-run.sh)
