# Links with lld when the compiler can use it: the many test programs each
# link the core library, and lld links them in a fraction of the time of the
# default linker.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld LUMVANE_HAVE_LLD)
if(LUMVANE_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()
