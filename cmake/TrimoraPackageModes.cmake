# Run by CPack on its staging folder, before the package is made from it. Files are
# installed with the modes they ask for, but folders are made under the builder's
# umask; a Debian package's folders are 0755 whatever it was.
if(NOT IS_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}")
    message(FATAL_ERROR "no staging folder to set the modes of: '${CPACK_TEMPORARY_DIRECTORY}'")
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
set(folders "${CPACK_TEMPORARY_DIRECTORY}")
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}")
        list(APPEND folders "${entry}")
    endif()
endforeach()
file(CHMOD ${folders}
    PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
