# The stand-ins' sources, listed once for the native build and the web build.
# The property-list reader is apart: the web build has one of its own.
set(bleepforge_cf_sources CFCompat.cpp)
set(bleepforge_plist_sources PlistRead.cpp)
set(bleepforge_au_compat_sources AUCompat.cpp)
list(TRANSFORM bleepforge_cf_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_plist_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_au_compat_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
