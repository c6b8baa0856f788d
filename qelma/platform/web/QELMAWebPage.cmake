# What makes a QELMA program a web page, for this source tree and for the
# installed web kit alike:
#   qelma_web_link_options(TARGET SCOPE KIT_DIR) the link options every page
#       needs; KIT_DIR holds shell.html and the page scripts.
#   qelma_add_web_page(TARGET) makes TARGET's output a folder of its own,
#       <build dir>/<TARGET>/, that any static web host serves as it is:
#       index.html, index.js and index.wasm.

# The files of the page, the scripts in the order they are loaded. (Set
# where this file is included and again by each function, which may be
# called from any folder of a project.)
macro(_qelma_web_kit_files)
    set(QELMA_WEB_KIT_SCRIPTS qelma_web.js qelma_gif.js)
    set(QELMA_WEB_KIT_FILES ${QELMA_WEB_KIT_SCRIPTS} shell.html)
endmacro()
_qelma_web_kit_files()

function(qelma_web_link_options target scope kit)
    _qelma_web_kit_files()
    set(options
        # Waits that hand the thread back to the browser, memory that grows,
        # and a file system kept in the browser's database.
        -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
        -sFORCE_FILESYSTEM=1 -sMINIFY_HTML=0 -lidbfs.js
        # Allocating and FreeType (its functions by their prefixes) never
        # wait: without this every function that allocates (the scan
        # conversion among them) or, through FreeType's calls by pointer,
        # rasterises a glyph is made ready to pause, slower and larger.
        "SHELL:-sASYNCIFY_REMOVE=['operator new*','FT_*','ft_*','tt_*','TT_*','Ins_*','gray_*','sfnt_*']"
        "SHELL:--shell-file ${kit}/shell.html")
    foreach(script IN LISTS QELMA_WEB_KIT_SCRIPTS)
        list(APPEND options "SHELL:--pre-js ${kit}/${script}")
    endforeach()
    # The library of this tree keeps its build paths out of the installed
    # package, whose own configuration names the installed kit instead.
    get_target_property(imported ${target} IMPORTED)
    if(NOT imported)
        list(TRANSFORM options REPLACE "^(.+)$" "$<BUILD_INTERFACE:\\1>")
    endif()
    target_link_options(${target} ${scope} ${options})
endfunction()

# TARGET links as a page, <output name>.html with its .js and .wasm; it links
# again when the page files change.
function(qelma_web_program target)
    if(NOT EMSCRIPTEN)
        message(FATAL_ERROR "qelma_web_program(${target}): configure with Emscripten "
                            "(emcmake cmake ...) to make web pages")
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "qelma_web_program(${target}): no such target")
    endif()
    get_target_property(kit QELMA::qelma QELMA_WEB_KIT_DIR)
    _qelma_web_kit_files()
    set(depends "")
    foreach(file IN LISTS QELMA_WEB_KIT_FILES)
        list(APPEND depends ${kit}/${file})
    endforeach()
    set_target_properties(${target} PROPERTIES SUFFIX ".html" LINK_DEPENDS "${depends}")
    # The library is C++: a C program links as C++ where the project has it
    # (Emscripten's linker adds the C++ runtime either way).
    get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
    if(CXX IN_LIST languages)
        set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
    endif()
endfunction()

function(qelma_add_web_page target)
    qelma_web_program(${target})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME index
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target})
endfunction()
