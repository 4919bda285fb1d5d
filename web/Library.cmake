# The page's list of sounds: the app's list model from render/, with the
# page's bindings to it, the ZIP archives its exports download, and the
# recipe kinds the program ships, their texts compiled in.
file(GLOB shipped_kinds CONFIGURE_DEPENDS ${root}/data/kinds/*.toml)
list(SORT shipped_kinds)
set(kinds_source "// Written by web/Library.cmake from data/kinds.\n#include \"ShippedKinds.h\"\n\nconst ShippedKind kShippedKinds[] = {\n")
foreach(file ${shipped_kinds})
    get_filename_component(name ${file} NAME_WE)
    file(READ ${file} text)
    string(APPEND kinds_source "    {\"${name}\", R\"kind(${text})kind\"},\n")
endforeach()
list(LENGTH shipped_kinds count)
string(APPEND kinds_source "};\nconst unsigned kShippedKindCount = ${count};\n")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/ShippedKinds.cpp CONTENT "${kinds_source}" @ONLY)

target_sources(bleepforge_web PRIVATE ${bleepforge_soundlist_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/Library.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ZipArchive.cpp
    ${CMAKE_BINARY_DIR}/ShippedKinds.cpp)
