#include "WebInstrument.h"

#include "Bleepforge.h"
#include "IGraphics.h"
#include "Layout.h"

namespace
{

// Each image is one pixel per frame, so that the editor the instrument builds
// lays out without a file or a decoder.
void cacheBlankEditorImages()
{
    for (const EditorImage& image : kEditorImages)
    {
        if (!IGraphics::IsBitmapCached(image.id))
            IGraphics::CacheBitmap(new PIX_MemBitmap(1, image.frames), image.id);
    }
}

} // namespace

std::unique_ptr<Bleepforge> OpenWebInstrument()
{
    cacheBlankEditorImages();
    IPluginInstanceInfo info;
    return std::make_unique<Bleepforge>(info);
}
