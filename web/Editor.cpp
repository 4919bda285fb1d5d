// The editor as the page shows it: the instrument's own editor drawn into its
// off-screen bitmap and copied out as RGBA for a canvas, pointer events
// converted to editor points as every platform view converts them.
#include "Bleepforge.h"
#include "IGraphics.h"
#include "Requests.h"
#include "ShareCode.h"
#include "ViewConversions.h"
#include "WebInstrument.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

class WebEditor
{
public:
    WebEditor() : mPlug(OpenWebInstrument()), mGraphics(mPlug->GetGraphics()) {}

    int width() const { return mGraphics->Width(); }
    int height() const { return mGraphics->Height(); }

    // Whether a control changed since the last picture.
    bool dirty()
    {
        IRECT changed;
        return mGraphics->IsDirty(&changed);
    }

    // The whole editor as RGBA bytes, pixel-doubled at scale 2 as the desktop
    // view draws it; opaque, as the desktop view ignores the bitmap's alpha.
    // The view stays valid until the next call.
    emscripten::val pixels(int scale)
    {
        IRECT all(0, 0, width(), height());
        mGraphics->Draw(&all);
        PIX_IBitmap* image = mGraphics->GetDrawBitmap();
        if (scale == 2)
        {
            PixelDouble(image, &mDoubled);
            image = &mDoubled;
        }
        const int w = image->getWidth(), h = image->getHeight();
        mRgba.resize(static_cast<size_t>(w) * h * 4);
        uint8_t* out = mRgba.data();
        for (int y = 0; y < h; ++y)
        {
            const PIX_Pixel* row = image->getBits() + static_cast<size_t>(y) * image->getRowSpan();
            for (int x = 0; x < w; ++x, out += 4)
            {
                for (int c = 0; c < 3; ++c)
                    out[c] = static_cast<uint8_t>(PIX_Channel(row[x], c + 1));
                out[3] = 255;
            }
        }
        return emscripten::val(emscripten::typed_memory_view(mRgba.size(), mRgba.data()));
    }

    // Points come in the canvas's CSS pixels from its top-left corner;
    // buttons as a pointer event's: 0 left, 2 right.
    void mouseDown(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, &IGraphics::OnMouseDown);
    }
    void mouseUp(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, &IGraphics::OnMouseUp);
    }
    void mouseDrag(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, &IGraphics::OnMouseDrag);
    }
    void mouseOver(double x, double y, int modifiers)
    {
        int ex, ey;
        EditorPointFromView(x, y, height(), &ex, &ey);
        IMouseMod mod = modOf(0, modifiers);
        mGraphics->OnMouseOver(ex, ey, &mod);
    }

    // The sound the editor shows, as its code.
    std::string code()
    {
        ByteChunk state;
        mPlug->SerializeState(&state);
        return EncodeShareCode(state);
    }

    // Shows the sound a code holds: "" when shown, else why not (and the
    // editor keeps its sound). The code is checked whole before any of it
    // is applied.
    std::string setCode(const std::string& code)
    {
        try
        {
            ByteChunk state = DecodeShareCode(TrimSpace(code));
            StateValues(state);
            if (mPlug->UnserializeState(&state, 0) != kStateSize)
                return "the instrument cannot apply the state";
            // The knobs follow the values, as after a host's restore.
            mPlug->RedrawParamControls();
            return "";
        }
        catch (const std::exception& e)
        {
            return e.what();
        }
    }

    // The kind the last generator made ("pickup"), "" before one.
    std::string kind()
    {
        char kind[16] = {};
        UInt32 size = sizeof kind;
        mPlug->GetCustomProperty(Bleepforge::kPropertyLastKind, &size, kind);
        kind[sizeof kind - 1] = '\0';
        return kind;
    }

    // Seeds the generators' random sequence: the page seeds it afresh at
    // each load so that generators do not repeat the last visit's sounds.
    void seed(unsigned value) { mPlug->SeedRandom(value); }

private:
    // Modifier bits: 1 shift, 2 control, 4 alt, 8 meta (a meta-click counts as right).
    static IMouseMod modOf(int button, int modifiers)
    {
        const bool right = button == 2 || (modifiers & 8) != 0;
        return IMouseMod(!right, right, (modifiers & 1) != 0, (modifiers & 2) != 0, (modifiers & 4) != 0);
    }

    void pointer(double x, double y, int button, int modifiers,
                 void (IGraphics::*handle)(int, int, IMouseMod*))
    {
        int ex, ey;
        EditorPointFromView(x, y, height(), &ex, &ey);
        IMouseMod mod = modOf(button, modifiers);
        (mGraphics->*handle)(ex, ey, &mod);
    }

    std::unique_ptr<Bleepforge> mPlug;
    IGraphics* mGraphics;
    PIX_MemBitmap mDoubled;
    std::vector<uint8_t> mRgba;
};

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_editor)
{
    emscripten::class_<WebEditor>("Editor")
        .constructor<>()
        .function("width", &WebEditor::width)
        .function("height", &WebEditor::height)
        .function("dirty", &WebEditor::dirty)
        .function("pixels", &WebEditor::pixels)
        .function("mouseDown", &WebEditor::mouseDown)
        .function("mouseUp", &WebEditor::mouseUp)
        .function("mouseDrag", &WebEditor::mouseDrag)
        .function("mouseOver", &WebEditor::mouseOver)
        .function("code", &WebEditor::code)
        .function("setCode", &WebEditor::setCode)
        .function("kind", &WebEditor::kind)
        .function("seed", &WebEditor::seed);
}
