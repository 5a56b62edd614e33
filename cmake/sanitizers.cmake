# Applies LUMVANE_SANITIZE (a comma-separated list for -fsanitize) to everything built.
if(LUMVANE_SANITIZE)
  add_compile_options(-fsanitize=${LUMVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LUMVANE_SANITIZE})
endif()
