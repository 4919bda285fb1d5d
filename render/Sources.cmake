# The render layer's sources, listed once for the native build and the web build.
# The sound helpers need no file or sound-file library, so the web build
# takes them (the codes' alone need no zlib either, for a game's runtime);
# the file helpers are the native build's only.
set(bleepforge_renderloop_sources RenderLoop.cpp)
set(bleepforge_core_sources InstrumentTarget.cpp RunKind.cpp)
set(bleepforge_variations_sources Variations.cpp)
set(bleepforge_codes_sources RequestParsing.cpp SoundState.cpp Levels.cpp ShareCode.cpp Locks.cpp)
set(bleepforge_packed_sources Packed.cpp LayeredSound.cpp)
set(bleepforge_renderio_file_sources AudioFile.cpp OggPages.cpp NormalizedWriter.cpp Interrupt.cpp
    ParamSettings.cpp RenderSession.cpp PresetSound.cpp Recipe.cpp KindFolders.cpp LayeredText.cpp
    LayerTables.cpp TomlText.cpp LayeredRender.cpp WorkerThreads.cpp)
set(bleepforge_render_sources RenderJob.cpp LayeredSources.cpp)
foreach(list renderloop core variations codes packed renderio_file render)
    list(TRANSFORM bleepforge_${list}_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
endforeach()
