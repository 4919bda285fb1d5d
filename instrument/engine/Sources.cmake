# The engine's sources, listed once for the native build and the web build.
set(bleepforge_engine_sources besselfilter.cpp EG.cpp MIDIReceiver.cpp Noise.cpp Oscilator.cpp
    PitchEnvelope.cpp QXBitCrusher2.cpp qxDSP.cpp RandomSource.cpp qxOsc.cpp SawTransition.cpp
    StateVariableFilter.cpp Voice.cpp VoiceManager.cpp)
list(TRANSFORM bleepforge_engine_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
