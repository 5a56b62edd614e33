# Applies LUMVANE_SANITIZE (a comma-separated list for -fsanitize) to everything built.
if(LUMVANE_SANITIZE)
  add_compile_options(-fsanitize=${LUMVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LUMVANE_SANITIZE})
  # The reports' stack traces need the line tables alone; -g1 keeps them and
  # leaves out the types and variables that make the objects and links big.
  add_compile_options(-g1)
  # -O1 as the sanitizers' own documentation advises: the reports stay
  # readable, and the slowest test (a fuzz seed that fills a 65500 x 65500
  # frame) runs in a fraction of its unoptimised time.
  add_compile_options(-O1)
  # g++ 12 sees out-of-bounds string copies in inlined library code of the
  # instrumented, optimised build that are not there (it reports none in the
  # plain build); AddressSanitizer checks those accesses at run time, so they
  # stay warnings here rather than errors.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-error=array-bounds -Wno-error=stringop-overflow -Wno-error=stringop-overread)
  endif()
endif()
