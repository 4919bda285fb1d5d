# The adapter's sources, listed once for the native build and the web build.
set(bleepforge_au_sources CFAUPreset.cpp IPluginAU.cpp IPluginAUEntry.cpp IPluginAURender.cpp IPluginAUViews.cpp)
list(TRANSFORM bleepforge_au_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
