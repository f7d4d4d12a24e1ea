# Debian's hardening, as dpkg-buildflags gives it with every feature on: fortified libc calls,
# a strong stack protector, format checks, position-independent code, and relocations made
# read-only and bound at start. The package is made from the plain build, so every plain build
# has them; they cost the build and the tests next to nothing. Sanitizer and fuzz builds go
# without: the sanitizers check the same calls themselves, and fortified wrappers hide them.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize" OR QUORLIN_FUZZ)
    set(hardening_default OFF)
else()
    set(hardening_default ON)
endif()
option(QUORLIN_HARDEN "Build with Debian's hardening flags (dpkg-buildflags)" ${hardening_default})
if(NOT QUORLIN_HARDEN)
    return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
# Only the hardening flags: the build type decides optimisation and debug information.
function(quorlin_hardening_flags area out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${area}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags INCLUDE REGEX
         "^(-D_FORTIFY_SOURCE=|-fstack-protector|-fstack-clash|-fcf-protection|-Wformat|-Werror=format|-Wl,-z,)")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

quorlin_hardening_flags(CPPFLAGS preprocessor)
quorlin_hardening_flags(CXXFLAGS compiler)
quorlin_hardening_flags(LDFLAGS linker)
# glibc fortifies only optimised code, and says so on every file of a build without it.
foreach(flag IN LISTS preprocessor)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
endforeach()
add_compile_options(${compiler})
add_link_options(${linker})
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
list(JOIN preprocessor " " shown)
list(JOIN compiler " " more)
list(JOIN linker " " linked)
message(STATUS "Hardening: ${shown} ${more} ${linked}, PIE")
