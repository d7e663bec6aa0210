# Hardening for optimised builds, as Debian builds its packages: checked string and
# memory functions, stack protectors, a position-independent executable and a
# read-only relocation table bound at start. _FORTIFY_SOURCE needs optimisation, so
# Debug builds go without; sanitizer and fuzzing builds go without too, as
# AddressSanitizer replaces the same checks with its own and the two do not mix.
option(TRIMORA_HARDEN "Harden optimised builds (fortified functions, stack protector, PIE, full RELRO)" ON)

if(TRIMORA_HARDEN AND TRIMORA_SANITIZE STREQUAL "" AND NOT TRIMORA_FUZZ)
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    # -U first: a -D_FORTIFY_SOURCE from CXXFLAGS must not be a redefinition.
    add_compile_options(
        "$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2;-fstack-protector-strong>")
    add_link_options("$<${optimised}:-Wl,-z,relro;-Wl,-z,now>")
    unset(optimised)
endif()
