# The kit's sources, listed once for the native build and the web build.
set(bleepforge_kit_sources KIT_Assert.cpp KIT_Base64.cpp KIT_Crc32.cpp KIT_Printable.cpp KIT_ReadFile.cpp KIT_SafeFile.cpp KIT_Text.cpp)
list(TRANSFORM bleepforge_kit_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
