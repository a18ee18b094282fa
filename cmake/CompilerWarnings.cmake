# tessary_warnings carries the flags every target of ours builds with.
add_library(tessary_warnings INTERFACE)
target_compile_options(tessary_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(TESSARY_WERROR)
    target_compile_options(tessary_warnings INTERFACE -Werror)
endif()
# A unity build includes each source into a generated one, and GCC then reports coroutine frames
# holding a file-local type (a lambda, an anonymous-namespace enum) that it never reports for a
# source compiled on its own.
if(CMAKE_UNITY_BUILD)
    target_compile_options(tessary_warnings INTERFACE -Wno-subobject-linkage)
endif()
