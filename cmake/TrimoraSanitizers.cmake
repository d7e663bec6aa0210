# Sanitizer builds for CI: TRIMORA_SANITIZE=address (with undefined behaviour) or
# thread. Applied to everything we compile; Qt and FFmpeg stay as Debian built them.
set(TRIMORA_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE TRIMORA_SANITIZE PROPERTY STRINGS "" address thread)

if(TRIMORA_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(TRIMORA_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TRIMORA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TRIMORA_SANITIZE must be empty, address or thread, not '${TRIMORA_SANITIZE}'")
endif()

# Fuzzing builds: everything instrumented for coverage, with the address and
# undefined-behaviour sanitizers; the fuzz targets add libFuzzer's own main.
option(TRIMORA_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(TRIMORA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TRIMORA_FUZZ needs clang: configure with the fuzz preset")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
