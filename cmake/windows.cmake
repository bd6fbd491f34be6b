# The panel's Windows configuration: MinGW-w64 and the Qt that
# scripts/build-qt-windows.sh builds from Debian's source, with the build
# machine's own Qt 6.4.2 tools (moc, rcc, uic) from Debian's packages.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/windows.cmake \
#         -DVELLAMOR_QT_WINDOWS=$(scripts/build-qt-windows.sh --print) \
#         -DVELLAMOR_PRERENDER=build/tools/prerender/vellamor-prerender
#
# scripts/build-windows.sh does all of it.

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-posix.cmake)

if(NOT VELLAMOR_QT_WINDOWS AND DEFINED ENV{VELLAMOR_QT_WINDOWS})
    set(VELLAMOR_QT_WINDOWS $ENV{VELLAMOR_QT_WINDOWS})
endif()
if(NOT EXISTS "${VELLAMOR_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake")
    message(FATAL_ERROR "No Qt for Windows in '${VELLAMOR_QT_WINDOWS}': run scripts/build-qt-windows.sh "
                        "and give its folder as VELLAMOR_QT_WINDOWS")
endif()
# try_compile() reads this file again, in projects of its own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELLAMOR_QT_WINDOWS)
set(ENV{VELLAMOR_QT_WINDOWS} ${VELLAMOR_QT_WINDOWS})

# The root is Qt's prefix and the package path lies inside it, as Qt's own
# toolchain file does it (CMake would otherwise join the two).
list(PREPEND CMAKE_FIND_ROOT_PATH ${VELLAMOR_QT_WINDOWS})
list(PREPEND CMAKE_PREFIX_PATH ${VELLAMOR_QT_WINDOWS}/lib/cmake)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Debian's zlib for MinGW (libz-mingw-w64-dev) lies in the cross compiler's
# root; linked statically, so no zlib1.dll has to travel with the panel.
set(ZLIB_USE_STATIC_LIBS ON)
# libgit2 for the configuration history, a static library of
# scripts/build-libgit2-windows.sh with the PCRE2 and http-parser it needs.
if(NOT VELLAMOR_LIBGIT2_WINDOWS AND DEFINED ENV{VELLAMOR_LIBGIT2_WINDOWS})
    set(VELLAMOR_LIBGIT2_WINDOWS $ENV{VELLAMOR_LIBGIT2_WINDOWS})
endif()
if(NOT VELLAMOR_LIBGIT2_WINDOWS)
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-libgit2-windows.sh --print
        OUTPUT_VARIABLE VELLAMOR_LIBGIT2_WINDOWS OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELLAMOR_LIBGIT2_WINDOWS)
set(ENV{VELLAMOR_LIBGIT2_WINDOWS} ${VELLAMOR_LIBGIT2_WINDOWS})
