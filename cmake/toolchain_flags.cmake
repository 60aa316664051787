# Compiler flags, by toolchain. CI builds with mingw-w64's GCC; Clang's GNU driver takes the
# same flags. Others stop here rather than build without the flags the tree relies on.
if(NOT (CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$" AND
        NOT CMAKE_CXX_COMPILER_FRONTEND_VARIANT STREQUAL "MSVC"))
  message(FATAL_ERROR
    "${CMAKE_CXX_COMPILER_ID} is not supported: the build sets GCC-style flags only "
    "(MSVC or clang-cl would need at least /utf-8 for the Chinese literals, and delay-load "
    "options of its own). Use mingw-w64: -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake")
endif()

add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Wall> $<$<COMPILE_LANGUAGE:C,CXX>:-Wextra>)
# The executable is downloaded before anything else: small beats fast in a program that waits
# on the network and the disk.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
# Each function and datum in a section of its own, so that the release installer's link can
# drop what nothing calls (--gc-sections).
add_compile_options($<$<CONFIG:Release>:-ffunction-sections> $<$<CONFIG:Release>:-fdata-sections>)

# The same source gives the same bytes wherever it is checked out and whenever it is built:
# no source or build paths in the objects, no link time in the PE header.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>
                    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
