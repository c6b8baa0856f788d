# qelma_install_manual(NAME): NAME.1 of this folder, compressed as Debian
# wants it, installed as NAME's manual page (component dev). Nothing where
# gzip is missing.
find_program(QELMA_MANUAL_GZIP gzip)
function(qelma_install_manual name)
    if(NOT QELMA_MANUAL_GZIP)
        return()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1.gz)
    add_custom_command(OUTPUT ${page}
        COMMAND ${QELMA_MANUAL_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${name}.1 > ${page}
        DEPENDS ${name}.1)
    add_custom_target(${name}_manual ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT dev)
endfunction()
