# The framework's sources, listed once for the native build and the web build.
set(bleepforge_records_sources IMidiQueue.cpp IPluginStructs.cpp)
set(bleepforge_framework_sources Containers.cpp Hosts.cpp IParam.cpp IPluginBase.cpp IPluginBasePresets.cpp
    Log.cpp ProgramFiles.cpp StateCodec.cpp)
list(TRANSFORM bleepforge_records_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_framework_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
