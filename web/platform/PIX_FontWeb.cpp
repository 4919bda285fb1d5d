// The browser build resolves no system font: the editor draws its text with
// its bitmap fonts, and generating and rendering need none.
#include "PIX_Font.h"

std::unique_ptr<PIX_IFont> PIX_CreateFont(const PIX_FontRequest&)
{
    return nullptr;
}
