# Warnings for our own code, through one interface target that every Trimora
# target links privately.
add_library(trimora_warnings INTERFACE)
target_compile_options(trimora_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough
    $<$<BOOL:${TRIMORA_WERROR}>:-Werror>)
