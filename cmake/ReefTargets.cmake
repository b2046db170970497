# Shared build settings and the two helpers every module uses: reef_module() for a library
# under src/ and reef_add_test() for a test executable under tests/.

add_library(reef_warnings INTERFACE)
target_compile_options(reef_warnings INTERFACE -Wall -Wextra -Werror)
# GCC 12 at -O2 reports a false -Wrestrict inside std::string's operator+ with a literal
# (GCC bug 105651, fixed in GCC 13); it stopped the optimised builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(reef_warnings INTERFACE -Wno-restrict)
endif()

# Every text inside the program is Windows-1252; sources are UTF-8.
add_library(reef_charset INTERFACE)
if(NOT REEF_FUZZ)
  target_compile_options(reef_charset INTERFACE -finput-charset=UTF-8 -fexec-charset=CP1252)
endif()

if(REEF_SANITIZE AND NOT WIN32)
  string(REPLACE ";" "," _reef_san "${REEF_SANITIZE}")
  add_compile_options(-fsanitize=${_reef_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_reef_san})
endif()

# The linker: LLVM's lld links the sanitized test executables in a fraction of ld.bfd's time,
# and the native build links some fifty of them. A compiler that cannot use it links with its own.
option(REEF_LLD "Link with lld where the compiler can" ON)
if(REEF_LLD AND NOT WIN32)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=lld REEF_HAVE_LLD)
  if(REEF_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

if(WIN32)
  # No DLL beyond those Windows ships.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The program's version, as the project declares it; texts that show it are built from this.
add_library(reef_version INTERFACE)
target_compile_definitions(reef_version INTERFACE REEF_VERSION="${PROJECT_VERSION}")

find_package(Threads REQUIRED)

# GoogleTest from Debian's source package, so the same version builds natively and with MinGW.
set(REEF_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${REEF_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# In an optimised build only the code under test is built as it ships. The tests' own code
# (GoogleTest, the test cases, their drivers and probes) is mostly macros that -O3 spends
# a third of the compile time on to no use: it is compiled without optimisation, as in the
# debug builds. tests/CMakeLists.txt applies it to its folders.
set(REEF_TEST_OPTIMIZATION "-O0" CACHE STRING
    "Optimisation of the tests' own code in optimised builds (empty: the build type's)")
set(REEF_TEST_COMPILE_OPTIONS "")
if(REEF_TEST_OPTIMIZATION)
  list(APPEND REEF_TEST_COMPILE_OPTIONS
       "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${REEF_TEST_OPTIMIZATION}>")
endif()
# UBSan's checks of every pointer use (null, alignment, the dynamic type behind a vptr) take a
# fifth of the time of compiling the tests' own code, which is mostly GoogleTest's macros. They
# stay on for the code under test; its arithmetic, bounds and conversion checks stay on in the
# tests too, and AddressSanitizer sees every access (a null pointer used still ends in its report).
if("undefined" IN_LIST REEF_SANITIZE AND NOT WIN32)
  list(APPEND REEF_TEST_COMPILE_OPTIONS -fno-sanitize=null,alignment,vptr)
endif()
if(REEF_TEST_COMPILE_OPTIONS)
  foreach(_gtest_target gtest gtest_main gmock gmock_main)
    target_compile_options(${_gtest_target} PRIVATE ${REEF_TEST_COMPILE_OPTIONS})
  endforeach()
endif()

# Unity (jumbo) builds of the project's own targets: the sources of a target are compiled a
# batch at a time, so that the standard library's and GoogleTest's headers are parsed once per
# batch rather than once per file; it halves the time of a build from nothing. Set after
# GoogleTest so that only the project's targets are affected. A file that cannot share a
# translation unit with its neighbours (clashing names in anonymous namespaces, macros) stays
# out with set_source_files_properties(<file> PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON).
option(REEF_UNITY "Compile the project's targets as unity (jumbo) builds" ON)
set(CMAKE_UNITY_BUILD ${REEF_UNITY})
set(CMAKE_UNITY_BUILD_BATCH_SIZE 8 CACHE STRING "Sources per unity batch (0: all of a target)")
# In a unity build every source is an included file, where GCC takes a test fixture in an
# anonymous namespace for a header's type that the test classes derived from it would leak.
if(REEF_UNITY AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(reef_warnings INTERFACE -Wno-subobject-linkage)
endif()

# reef_module(<name> [DEPS <libs>...] [SOURCES <files>...] [EXCLUDE <files>...]
#             [INCLUDE_ROOT <dir>] [NO_CHARSET]): a static library of the *.cpp files in the
# current source folder (not its subfolders), headers included as "module/file.h" from the
# include root (src/ unless given). NO_CHARSET keeps the compiler's UTF-8 execution character
# set, for code that passes Windows-1252 bytes through untouched and builds with Clang too.
function(reef_module name)
  cmake_parse_arguments(M "NO_CHARSET" "INCLUDE_ROOT" "DEPS;SOURCES;EXCLUDE" ${ARGN})
  if(NOT M_INCLUDE_ROOT)
    set(M_INCLUDE_ROOT ${PROJECT_SOURCE_DIR}/src)
  endif()
  set(_charset reef_charset)
  if(M_NO_CHARSET)
    set(_charset "")
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(_excluded IN LISTS M_EXCLUDE)
    list(REMOVE_ITEM _srcs ${CMAKE_CURRENT_SOURCE_DIR}/${_excluded})
  endforeach()
  list(APPEND _srcs ${M_SOURCES})
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${M_INCLUDE_ROOT})
    target_link_libraries(${name} PUBLIC ${M_DEPS} ${_charset} PRIVATE reef_warnings)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${M_INCLUDE_ROOT})
    target_link_libraries(${name} INTERFACE ${M_DEPS} ${_charset})
  endif()
endfunction()

# GoogleTest's and GoogleMock's headers cost every test translation unit about 3 s of CPU: they
# are precompiled once per build folder and every test executable reuses that header. A
# compiler that cannot use it says so (-Winvalid-pch, an error with -Werror) rather than
# quietly parsing the headers again.
option(REEF_TEST_PCH "Precompile GoogleTest's headers once for every test executable" ON)
# With the precompiled header GCC 12's optimiser reports false -Warray-bounds and
# -Wstringop-overflow from inside libstdc++ (std::string's operator+ inlined into a test
# case): GCC keeps warnings in system headers quiet, but not those that reach a test through
# the precompiled header; the same sources without it compile clean. Those warnings need
# the optimiser, so an optimised build shares the header only where the tests' own code is
# compiled without it (REEF_TEST_OPTIMIZATION -O0).
function(reef_use_test_pch name)
  if(NOT REEF_TEST_PCH)
    return()
  endif()
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug" AND NOT REEF_TEST_OPTIMIZATION STREQUAL "-O0")
    return()
  endif()
  if(NOT TARGET reef_test_pch)
    set(_source ${CMAKE_BINARY_DIR}/reef_test_pch.cpp)
    if(NOT EXISTS ${_source})
      file(WRITE ${_source} "// The precompiled header of every test executable is built with this file.\n")
    endif()
    add_library(reef_test_pch STATIC ${_source})
    set_target_properties(reef_test_pch PROPERTIES UNITY_BUILD OFF)
    target_link_libraries(reef_test_pch PRIVATE GTest::gmock reef_warnings reef_charset
                                                Threads::Threads)
    target_precompile_headers(reef_test_pch PRIVATE <gmock/gmock.h> <gtest/gtest.h>)
  endif()
  target_precompile_headers(${name} REUSE_FROM reef_test_pch)
endfunction()

# Under Wine every test runs in one of the Wine slots (an X display and a Wine prefix) that
# ctest hands out as the resource "wine", so that tests with windows can run side by side,
# each alone on its display; see tests/support/in_wine_slot.sh.
set(REEF_IN_WINE_SLOT ${PROJECT_SOURCE_DIR}/tests/support/in_wine_slot.sh)
function(reef_run_in_wine_slot name)
  set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS wine:1)
endfunction()

# Every test labelled "threads": what the ThreadSanitizer build needs to build, and no more.
add_custom_target(reef_threads_tests)

# reef_add_test(<name> SOURCES <files>... [LIBS <libs>...] [LABELS <labels>...] [NO_MAIN]
#               [WINDOWS_ONLY] [NATIVE_ONLY] [RESOURCE_LOCK <resource>])
# The label "threads" marks tests that the ThreadSanitizer build runs as well; tests labelled
# "gtk" each take an X display of their own. Tests that share a RESOURCE_LOCK never run at the
# same time.
# Natively every test case becomes a ctest test of its own; under Wine (cross build) the
# executable is one ctest test, because starting Wine once per case is slow.
function(reef_add_test name)
  cmake_parse_arguments(T "NO_MAIN;WINDOWS_ONLY;NATIVE_ONLY" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS"
                        ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock reef_warnings reef_charset Threads::Threads)
  # GTK's compile flags define _REENTRANT (-pthread), which a header precompiled without them
  # cannot be used with: the GTK tests parse GoogleTest's headers themselves.
  if(NOT "gtk" IN_LIST T_LABELS)
    reef_use_test_pch(${name})
  endif()
  if(NOT T_NO_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(WIN32)
    add_test(NAME ${name} COMMAND bash ${REEF_IN_WINE_SLOT} ${CMAKE_CROSSCOMPILING_EMULATOR}
                                  $<TARGET_FILE:${name}>)
    reef_run_in_wine_slot(${name})
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
  else()
    set(_properties LABELS "${T_LABELS}")
    if(T_RESOURCE_LOCK)
      list(APPEND _properties RESOURCE_LOCK ${T_RESOURCE_LOCK})
    endif()
    # A test with windows has an X display to itself: one of those that the test command hands
    # out as the resource "display" (tests/support/on_ctest_display.sh).
    if("gtk" IN_LIST T_LABELS)
      list(APPEND _properties RESOURCE_GROUPS display:1)
      set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                                               ${PROJECT_SOURCE_DIR}/tests/support/on_ctest_display.sh)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ${_properties})
  endif()
  if("threads" IN_LIST T_LABELS)
    add_dependencies(reef_threads_tests ${name})
  endif()
endfunction()
