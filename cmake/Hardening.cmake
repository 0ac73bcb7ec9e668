# Hardening of every program and library of the build: the request program
# parses whatever reaches the web server.
#
# -z now (full RELRO: every symbol bound at start, then the GOT made
# read-only) was measured before it was chosen, with valgrind --tool=callgrind
# --trace-children=no on one getconfig request, whole process, Release build:
# 3,427,899 instructions with lazy binding, 3,487,101 with -z now on the
# program and the stand-in library (+59,202, +1.7%; +26,418 on the program
# alone). A list request: 3,113,633 and 3,155,938 (+1.4%). Cheap for what it
# closes.
#
# Since the C++ runtime and SQLite are linked statically, a request costs a
# tenth of that, and binding everything at start is no longer cheap: getconfig
# 348,759 instructions lazily, 416,336 with -z now (+67,577, +19%: +36,248 on
# the program, the rest on the stand-in library, which getconfig never calls);
# status +66,853, list +55,423 (docs/performance.md). That alone takes
# getconfig from 2.9 to 3.5 times a minimal C program's instructions. So
# lazy binding is the default, as for every other start-up choice the fast
# one; -z relro still makes everything but the lazily bound GOT entries
# read-only, and VELORANTIS_FULL_RELRO=ON binds everything at start.
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
