// The browser build decodes no PNG and resolves no native font: the page
// decodes images and draws text itself. Generating and rendering need neither.
#include "PIX.h"
#include "PIX_Font.h"

PIX_IBitmap* PIX_LoadPNG(const char*, PIX_IBitmap*)
{
    return nullptr;
}

PIX_IBitmap* PIX_OpenPNG(const char*)
{
    return nullptr;
}

bool PIX_WritePNG(const char*, PIX_IBitmap*)
{
    return false;
}

std::unique_ptr<PIX_IFont> PIX_CreateFont(const PIX_FontRequest&)
{
    return nullptr;
}
