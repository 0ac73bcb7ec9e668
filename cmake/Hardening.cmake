# Hardening of every program and library of the build: the request program
# parses whatever reaches the web server. The protections Debian builds its
# packages with; the install test runs `hardening-check` on the installed
# program.
#
# -z now (full RELRO) binds every symbol at start and then makes the whole
# GOT read-only, so no function pointer in it can be overwritten. It costs
# every request some start-up (docs/performance.md); VELORANTIS_FULL_RELRO=OFF
# leaves binding lazy, and -z relro then still protects all but the lazily
# bound GOT entries.
option(VELORANTIS_FULL_RELRO
       "Bind every symbol at start-up (-z now) so that the whole GOT is read-only" ON)
# Position independence (PIE), so that address randomisation moves the program
# too, is Debian's compilers' default and left to it: asking CMake for it
# would build the static libraries with -fPIC, whose interposable functions
# the compiler does not inline, SQLite's included.
add_compile_options(-fstack-protector-strong -fstack-clash-protection)
# Control-flow protection (CET) exists on x86 alone.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
  add_compile_options(-fcf-protection)
endif()
add_link_options(-Wl,-z,relro)
if(VELORANTIS_FULL_RELRO)
  add_link_options(-Wl,-z,now)
endif()
# _FORTIFY_SOURCE needs optimisation, and the sanitizers check the same calls
# their own way.
if(NOT VELORANTIS_SANITIZE)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
