# The render layer's sources, listed once for the native build and the web build.
# The sound helpers need no file or sound-file library, so the web build
# takes them (the codes' alone need no zlib either, for a game's runtime);
# the layered sounds' text, model and render need TOML but no file writer,
# so the page's module takes them, as it takes the list of sounds people keep
# (the app's and the page's); the file writers are the native build's only.
set(bleepforge_renderloop_sources RenderLoop.cpp)
set(bleepforge_core_sources InstrumentTarget.cpp RunKind.cpp)
set(bleepforge_variations_sources Variations.cpp)
set(bleepforge_layered_variations_sources LayeredVariations.cpp)
set(bleepforge_codes_sources RequestParsing.cpp SoundState.cpp Levels.cpp ShareCode.cpp Locks.cpp)
set(bleepforge_packed_sources Packed.cpp LayeredSound.cpp)
set(bleepforge_soundlist_sources SoundList.cpp SlotStates.cpp SoundFileNames.cpp)
set(bleepforge_layered_sources ParamSettings.cpp RenderSession.cpp Recipe.cpp KindFolders.cpp LayeredText.cpp
    LayerTables.cpp TomlText.cpp LayeredRender.cpp WorkerThreads.cpp)
set(bleepforge_renderio_file_sources AudioFile.cpp OggPages.cpp NormalizedWriter.cpp Interrupt.cpp
    PresetSound.cpp SoundWriting.cpp)
set(bleepforge_render_sources RenderJob.cpp LayeredSources.cpp)
foreach(list renderloop core variations layered_variations codes packed soundlist layered renderio_file render)
    list(TRANSFORM bleepforge_${list}_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
endforeach()
