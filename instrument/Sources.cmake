# The instrument's sources, listed once for the native build and the web build:
# its parameter table and kinds, the instrument without an editor, and its editor.
set(bleepforge_params_sources Params.cpp qxFontLists.cpp GeneratorKinds.cpp SoundRecipe.cpp)
set(bleepforge_instrument_sources Bleepforge.cpp Generators.cpp ParamBindings.cpp Slots.cpp)
set(bleepforge_instrument_editor_sources Layout.cpp qxControls.cpp)
list(TRANSFORM bleepforge_params_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_instrument_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_instrument_editor_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
