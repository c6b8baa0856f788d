# GoogleTest for the MinGW-w64 cross build: built from Debian's sources in
# /usr/src/googletest (find_package cannot find a Windows build of it), with
# the targets GTest::gtest and GTest::gtest_main that find_package gives.
#
# Also defines qelma_register_gtest(target [ALONE test...]): one CTest test
# per executable, run through CMAKE_CROSSCOMPILING_EMULATOR (Wine), because
# test discovery would start Wine once more per executable at build time.
# The tests named after ALONE (Suite.Name) need a process of their own, as
# discovery gives every test on Linux: each gets a CTest test of its own and
# the rest of the executable runs without them.
include_guard(GLOBAL)

if(CMAKE_CROSSCOMPILING AND WIN32)
    set(QELMA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
    if(NOT EXISTS ${QELMA_GTEST_SOURCE_DIR}/CMakeLists.txt)
        message(FATAL_ERROR "No GoogleTest sources at ${QELMA_GTEST_SOURCE_DIR}; "
                            "install googletest or set QELMA_GTEST_SOURCE_DIR")
    endif()
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    if(NOT TARGET gtest)
        add_subdirectory(${QELMA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
                         EXCLUDE_FROM_ALL SYSTEM)
    endif()
    # GoogleTest 1.12 makes these aliases itself; older releases do not.
    if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
    endif()
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
endif()

function(qelma_register_gtest target)
    cmake_parse_arguments(ARG "" "" "ALONE" ${ARGN})
    set(filter "")
    if(ARG_ALONE)
        list(JOIN ARG_ALONE ":" alone)
        set(filter "--gtest_filter=-${alone}")
    endif()
    add_test(NAME ${target} COMMAND ${target} --gtest_color=no ${filter})
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "WINEDEBUG=-all" TIMEOUT 300)
    foreach(test ${ARG_ALONE})
        add_test(NAME ${target}.${test} COMMAND ${target} --gtest_color=no --gtest_filter=${test})
        set_tests_properties(${target}.${test} PROPERTIES ENVIRONMENT "WINEDEBUG=-all" TIMEOUT 300)
    endforeach()
endfunction()
