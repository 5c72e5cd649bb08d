# Compiler options shared by every target of the project.

option(VEX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VEX_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
option(VEX_FUZZ "Build the libFuzzer targets in fuzz/ (clang) instead of the tests" OFF)
if(VEX_SANITIZE_THREAD AND (VEX_SANITIZE OR VEX_FUZZ))
    message(FATAL_ERROR "VEX_SANITIZE_THREAD cannot be combined with VEX_SANITIZE or VEX_FUZZ")
endif()

add_library(vex_options INTERFACE)
target_compile_options(vex_options INTERFACE -Wall -Wextra
    # Why: floating point must give the same bits in every build, so no fused multiply-add.
    -ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|x86$" OR (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    # Why: SSE2 arithmetic gives the same results as x86-64; x87 gives other bits.
    target_compile_options(vex_options INTERFACE -msse2 -mfpmath=sse)
endif()
if(VEX_FUZZ)
    # Everything is instrumented for coverage; only the fuzz targets link libFuzzer's main.
    target_compile_options(vex_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(vex_options INTERFACE -fsanitize=address,undefined)
elseif(VEX_SANITIZE)
    target_compile_options(vex_options INTERFACE -fsanitize=address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(vex_options INTERFACE -fsanitize=address,undefined)
elseif(VEX_SANITIZE_THREAD)
    target_compile_options(vex_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(vex_options INTERFACE -fsanitize=thread)
endif()

if(NOT WIN32)
    # The hardening Debian builds its packages with. Why binding at load time: a symbol
    # bound lazily on its first call takes the dynamic linker's lock, and a first call may
    # come from an audio callback. Why not under the sanitizers or in unoptimised builds:
    # the checked functions need optimisation and duplicate the sanitizers' checks.
    target_link_options(vex_options INTERFACE -Wl,-z,relro -Wl,-z,now)
    if(NOT VEX_SANITIZE AND NOT VEX_SANITIZE_THREAD AND NOT VEX_FUZZ)
        target_compile_definitions(vex_options INTERFACE
            $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
endif()

# Programs (tests, host tools) on Windows carry their runtime inside.
function(vex_program_options target)
    target_link_libraries(${target} PRIVATE vex_options)
    if(WIN32)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
