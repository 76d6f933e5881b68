# The posix-thread flavour of the compilers, so std::thread is there too.
set(CMAKE_C_COMPILER ${TW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under Wine, each in the build tree's private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
