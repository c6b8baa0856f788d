# cmake -DOUTPUT=faces.cpp -DSANS=sans.ttf -DMONO=mono.ttf -P embed_faces.cmake
# Writes the faces as arrays of the library (namespace qelma_faces).
foreach(var OUTPUT SANS MONO)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "embed_faces.cmake: ${var} is not set")
    endif()
endforeach()
set(text "// Made by cmake/embed_faces.cmake from the cut faces: do not edit.\n"
         "namespace qelma_faces {\n")
foreach(pair "sans;${SANS}" "mono;${MONO}")
    list(GET pair 0 name)
    list(GET pair 1 file)
    file(SIZE ${file} size)
    file(READ ${file} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
    string(APPEND text "extern const unsigned char ${name}[];\nextern const unsigned long ${name}_size;\n"
                       "alignas(4) const unsigned char ${name}[] = {\n${bytes}};\n"
                       "const unsigned long ${name}_size = ${size};\n")
endforeach()
string(APPEND text "} // namespace qelma_faces\n")
file(WRITE ${OUTPUT}.new "${text}")
file(RENAME ${OUTPUT}.new ${OUTPUT})
