# The editor's sources, listed once for the native build and the web build.
set(bleepforge_editor_sources IBitmapMonoText.cpp IControl.cpp IGraphics.cpp IGraphicsStructs.cpp
    IKeyboardControl.cpp IPopupMenu.cpp platform/IGraphicsLinux.cpp platform/ViewConversions.cpp)
list(TRANSFORM bleepforge_editor_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
