# The DLLs a Windows program of this build needs beside it: the MinGW
# runtime's, found where the cross compiler finds them, and Qt's.
#
#   VELLAMOR_MINGW_RUNTIME_DLLS   libstdc++, libgcc_s, libwinpthread
#   VELLAMOR_WINDOWS_DLL_DIRS     the folders holding those and Qt's DLLs

set(VELLAMOR_MINGW_RUNTIME_DLLS)
set(VELLAMOR_WINDOWS_DLL_DIRS ${VELLAMOR_QT_WINDOWS}/bin)
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
        OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
        message(FATAL_ERROR "The cross compiler does not know ${_dll}")
    endif()
    list(APPEND VELLAMOR_MINGW_RUNTIME_DLLS ${_path})
    get_filename_component(_dir ${_path} DIRECTORY)
    list(APPEND VELLAMOR_WINDOWS_DLL_DIRS ${_dir})
endforeach()
list(REMOVE_DUPLICATES VELLAMOR_WINDOWS_DLL_DIRS)
