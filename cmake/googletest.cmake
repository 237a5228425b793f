# GoogleTest for the tests: GTest::gtest and GTest::gtest_main, and
# GTest_FOUND. A native build takes the installed library (Debian:
# libgtest-dev). A cross build cannot link the host's library, so it
# compiles the sources that the same package ships (/usr/src/googletest)
# with the cross compiler, once, inside the build folder.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest)
  return()
endif()

set(TSVMESH_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources compiled into cross builds")
if(NOT EXISTS ${TSVMESH_GOOGLETEST_SOURCE}/CMakeLists.txt)
  set(GTest_FOUND FALSE)
  return()
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
# Static, so that the emulator or Wine needs no extra library at run time.
set(BUILD_SHARED_LIBS OFF)
add_subdirectory(${TSVMESH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(library gtest gtest_main)
  if(NOT TARGET GTest::${library})
    add_library(GTest::${library} ALIAS ${library})
  endif()
endforeach()

# GCC 12's false alarm in GoogleTest's own string code.
target_compile_options(gtest PRIVATE -Wno-restrict)
set(GTest_FOUND TRUE)
