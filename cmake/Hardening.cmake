# Hardening of every program and library of the build: the request program
# parses whatever reaches the web server.
#
# -z now (full RELRO) binds every symbol at start and then makes the whole
# GOT read-only. With the C++ runtime and SQLite linked statically, binding
# the symbols a request never calls is a large share of its start-up, so lazy
# binding is the default; -z relro still protects everything but the lazily
# bound GOT entries. What each choice costs: docs/performance.md.
option(VELORANTIS_FULL_RELRO
       "Bind every symbol at start-up (-z now) so that the whole GOT is read-only" OFF)
add_compile_options(-fstack-protector-strong)
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
