# Run at the end of each component's installation. Programs, libraries and
# plugins installed under /usr find our libraries where the loader looks
# anyway, and Debian allows them no search path of their own; the relative
# one a build made for another prefix comes off every ELF file installed.
# cpack installs under /usr (with DESTDIR) whatever prefix the build was
# configured for, and so may cmake --install --prefix /usr.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    return()
endif()
foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    set(path "$ENV{DESTDIR}${file}")
    if(IS_SYMLINK "${path}" OR IS_DIRECTORY "${path}" OR NOT EXISTS "${path}")
        continue()
    endif()
    file(READ "${path}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        file(RPATH_REMOVE FILE "${path}")
    endif()
endforeach()
