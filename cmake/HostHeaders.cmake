# SPDX-License-Identifier: MIT
# Header-only libraries in a cross build: the host's headers. Only their own
# folders are put on the include path, never the host's whole include folder,
# whose C library would shadow the target's. Sets <folder>_FOUND; a target
# another folder defined already is kept.
function(kestrune_host_headers target folder header)
    if(TARGET ${target})
        set(${folder}_FOUND TRUE PARENT_SCOPE)
        return()
    endif()
    set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
    find_path(host_dir_${folder} ${folder}/${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
    if(NOT host_dir_${folder})
        set(${folder}_FOUND FALSE PARENT_SCOPE)
        return()
    endif()
    file(MAKE_DIRECTORY ${host_headers})
    file(CREATE_LINK ${host_dir_${folder}}/${folder} ${host_headers}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
    set(${folder}_FOUND TRUE PARENT_SCOPE)
endfunction()
