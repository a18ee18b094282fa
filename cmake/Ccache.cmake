# A warm rebuild through ccache is many times faster than a cold one. Paths are hashed relative to
# the checkout and without the build folder, so a fresh clone elsewhere (CI's) reuses the cache.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
        CCACHE_NOHASHDIR=1 ${CCACHE_PROGRAM})
endif()
