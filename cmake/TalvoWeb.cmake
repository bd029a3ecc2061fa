# The browser build (emscripten), its tests run under node. Included by the top-level
# CMakeLists.txt when the emscripten toolchain is in use.

# Emscripten's own C++ library throws only where asked to, at compiling and at linking both;
# the engine reports some failures by exception.
add_compile_options(-fexceptions)
# Optimised even in the web preset's debug build: its libraries are the site's, and a table of
# a million rows takes seconds more at -O0. Debug information stays for the tests.
add_compile_options(-O3)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)

# Emscripten's optimiser runs under node and needs acorn, which Debian keeps where only
# Debian's node looks; said here, and not in the environment, so that any way of running the
# build finds it.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)

# Node 18 and later offer fetch, which emscripten 3.1.6's output then takes to load its
# .wasm, and which cannot read a file: without it, the output reads the file itself.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR} --no-experimental-fetch)

# gtest_discover_tests, called in the tests' folders, finds its script through a variable of the
# top folder, which find_package(GTest) sets natively.
include(GoogleTest)

# GoogleTest built from Debian's sources (libgtest-dev), as no system library fits WebAssembly;
# with its own warnings, and no threads: the tests here start none.
function(talvo_add_googletest)
    set(CMAKE_COMPILE_WARNING_AS_ERROR OFF)
    set(CMAKE_CXX_FLAGS "")
    set(gtest_disable_pthreads ON)
    set(INSTALL_GTEST OFF)
    set(BUILD_GMOCK OFF)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
