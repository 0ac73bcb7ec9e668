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
add_compile_options(-fstack-protector-strong)
add_link_options(-Wl,-z,relro -Wl,-z,now)
# _FORTIFY_SOURCE needs optimisation, and the sanitizers check the same calls
# their own way.
if(NOT VELORANTIS_SANITIZE)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
