# Sanitizer and fuzzing builds.
#
#   VALMORA_SANITIZE=address,undefined   AddressSanitizer + UndefinedBehaviorSanitizer
#   VALMORA_SANITIZE=thread              ThreadSanitizer
#   VALMORA_FUZZ=ON                      libFuzzer targets (clang only; needs address in
#                                        VALMORA_SANITIZE, so the tests and the fuzzers share one
#                                        build)
#
# Our own code (modules, processor, tests, fuzz targets) is instrumented; the JUCE library
# (valmora_juce) is not. Everything the audio and message threads share lives in our code, JUCE's
# locks are pthread mutexes the sanitizer runtimes intercept anyway, and JUCE's header-inline code
# (AudioParameterFloat::get, MemoryBlock, String) is compiled into our own objects, so it is
# instrumented where we call it. Leaving the library alone keeps its compile command identical in
# every sanitizer build directory, so ccache compiles JUCE once for all of them.

set(VALMORA_SANITIZE "" CACHE STRING "Sanitizers for our own code: address,undefined or thread (empty: none)")
option(VALMORA_FUZZ "Build the libFuzzer targets in tests/fuzz (clang, with VALMORA_SANITIZE=address,...)" OFF)

if(VALMORA_SANITIZE OR VALMORA_FUZZ)
    if(VALMORA_SANITIZE MATCHES "thread" AND VALMORA_SANITIZE MATCHES "address")
        message(FATAL_ERROR "VALMORA_SANITIZE: thread cannot be combined with address")
    endif()

    if(VALMORA_FUZZ)
        if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            message(FATAL_ERROR "VALMORA_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
        endif()
        if(NOT VALMORA_SANITIZE MATCHES "address")
            message(FATAL_ERROR "VALMORA_FUZZ needs VALMORA_SANITIZE to include address")
        endif()
    endif()

    set(valmora_sanitizer_flags -fsanitize=${VALMORA_SANITIZE} -fno-omit-frame-pointer -g)

    if(VALMORA_SANITIZE MATCHES "undefined")
        # A report must fail the test that triggered it, not scroll past in the log.
        list(APPEND valmora_sanitizer_flags -fno-sanitize-recover=undefined)
    endif()

    if(VALMORA_FUZZ)
        # Coverage feedback for the fuzzer in all of our code; the libFuzzer runtime itself is
        # linked only into the fuzz targets (-fsanitize=fuzzer there). The sanitizer runtime has
        # no-op coverage callbacks, so the test programs of the same build link without it.
        list(APPEND valmora_sanitizer_flags -fsanitize=fuzzer-no-link)
    endif()

    # Every target but the JUCE library (see above).
    foreach(flag IN LISTS valmora_sanitizer_flags)
        add_compile_options("$<$<NOT:$<STREQUAL:$<TARGET_PROPERTY:NAME>,valmora_juce>>:${flag}>")
    endforeach()

    add_link_options(-fsanitize=${VALMORA_SANITIZE})

    # The sanitizer runtimes live in the executable that loads the plug-in (the host test, the
    # renderer), never in a shared library, so the plug-in must be allowed to leave their symbols
    # undefined; JUCE links it with --no-undefined, which the later -z undefs overrides.
    function(valmora_allow_runtime_symbols_in_plugin)
        if(TARGET Valmora_VST3)
            set_property(TARGET Valmora_VST3 APPEND PROPERTY LINK_OPTIONS "-Wl,-z,undefs")
        endif()
    endfunction()
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL valmora_allow_runtime_symbols_in_plugin)
    message(STATUS "Sanitizers: ${VALMORA_SANITIZE}; fuzz targets: ${VALMORA_FUZZ}")
endif()
