# tessary_warnings carries the flags every target of ours builds with.
add_library(tessary_warnings INTERFACE)
target_compile_options(tessary_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(TESSARY_WERROR)
    target_compile_options(tessary_warnings INTERFACE -Werror)
endif()
