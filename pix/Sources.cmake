# The bitmaps' sources, listed once for the native build and the web build.
# The font reader is apart: the web build has one of its own.
set(bleepforge_pix_sources PIX_Bitmap.cpp PIX_Blit.cpp PIX_Draw.cpp PIX_PNG.cpp)
set(bleepforge_pix_font_sources PIX_Font.cpp)
list(TRANSFORM bleepforge_pix_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM bleepforge_pix_font_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
