# Flags for everything that goes onto the router: no exceptions, no RTTI, no
# C++ runtime library at run time, strict warnings as errors.
set(ARNONAT_WARNINGS
  -Wall -Wextra -Werror -Wshadow -Wformat=2 -Wformat-security -Wcast-align
  -Wnull-dereference -Wundef -Wvla)

# No stack frame of shipped code over 8 KiB: library callers run the
# generators on threads of their own (musl's default thread stack is
# 128 KiB), so large buffers go on the heap.  gcc (host and ARM builds)
# checks it, an error like every warning; clang has no such warning.
set(ARNONAT_STACK_LIMIT
  $<$<OR:$<COMPILE_LANG_AND_ID:CXX,GNU>,$<COMPILE_LANG_AND_ID:C,GNU>>:-Wstack-usage=8192>)

function(arnonat_shipped target)
  target_compile_options(${target} PRIVATE
    ${ARNONAT_WARNINGS} ${ARNONAT_STACK_LIMIT}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables>)
  # Hidden unless a public header declares it (they push default
  # visibility): the libraries export their C names and nothing else.
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    target_link_options(${target} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
  endif()
  if(NOT type STREQUAL "OBJECT_LIBRARY" AND NOT ARNONAT_SANITIZE)
    # Link through the C driver so libstdc++ is never pulled in; an undefined
    # C++ runtime symbol then fails the link instead of shipping.  (The
    # sanitizer build links as C++: the sanitizers' own runtime needs it.)
    set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C)
    target_link_options(${target} PRIVATE -Wl,--as-needed)
    if(type STREQUAL "SHARED_LIBRARY")
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
endfunction()

# CMake would otherwise add the C++ runtime to C-linked targets made of C++
# objects; the C++ compiler driver adds it itself where it is wanted.
set(CMAKE_CXX_IMPLICIT_LINK_LIBRARIES "")
set(CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "")
