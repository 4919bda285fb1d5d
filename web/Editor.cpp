// The editor as the page shows it: the instrument's own editor drawn into its
// off-screen bitmap and copied out as RGBA for a canvas, pointer events
// converted to editor points as every platform view converts them.
#include "Bleepforge.h"
#include "IControl.h"
#include "IGraphics.h"
#include "IKeyboardControl.h"
#include "Layout.h"
#include "SoundState.h"
#include "KIT_Text.h"
#include "ShareCode.h"
#include "ViewConversions.h"
#include "qxControls.h"
#include "WebWindow.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

std::unique_ptr<LinuxWindow> openWebWindow(IGraphicsLinux& graphics, void*)
{
    return std::make_unique<WebWindow>(graphics);
}

emscripten::val rectOf(const IRECT& r)
{
    emscripten::val rect = emscripten::val::object();
    rect.set("left", r.L);
    rect.set("top", r.T);
    rect.set("width", r.W());
    rect.set("height", r.H());
    return rect;
}

emscripten::val cssColor(const IColor& color)
{
    return emscripten::val("rgb(" + std::to_string(color.R) + "," + std::to_string(color.G) + "," +
                           std::to_string(color.B) + ")");
}

// The editor's instrument: its meter shows the levels of the instrument that
// plays (the worklet's), which the page hands over on its main thread.
class MeteredInstrument : public Bleepforge
{
public:
    MeteredInstrument() : Bleepforge(IPluginInstanceInfo()) {}
    void ShowLevels(double left, double right)
    {
        mShown[0] = left;
        mShown[1] = right;
    }
    double MeterLevel(int channel) const override { return mShown[channel == 0 ? 0 : 1]; }

private:
    double mShown[2] = {0.0, 0.0};
};

class WebEditor
{
public:
    WebEditor() : mPlug(std::make_unique<MeteredInstrument>()), mGraphics(AttachEditor(*mPlug))
    {
        IGraphicsLinux::SetWindowFactory(&openWebWindow);
        mGraphics->OpenWindow(nullptr);
        mWindow = static_cast<WebWindow*>(mGraphics->GetWindow());
    }

    int width() const { return mGraphics->Width(); }
    int height() const { return mGraphics->Height(); }

    // The part of the editor that changed since the last picture (all of it
    // when `whole`), drawn: { left, top, width, height } in editor pixels and
    // its RGBA bytes, pixel-doubled at scale 2 as the desktop view draws it,
    // opaque as the desktop view ignores the bitmap's alpha; null when nothing
    // changed. A meter, drawn at every tick, so costs its own pixels and not
    // the editor's. The bytes stay valid until the next call.
    emscripten::val picture(int scale, bool whole)
    {
        IRECT dirty;
        if (!mGraphics->IsDirty(&dirty) && !whole)
            return emscripten::val::null();
        IRECT all(0, 0, width(), height());
        mGraphics->Draw(&all);
        const IRECT changed = whole ? all : changedSinceShown();
        keepShown(changed);
        if (changed.Empty())
            return emscripten::val::null();
        emscripten::val shown = emscripten::val::object();
        shown.set("left", changed.L);
        shown.set("top", changed.T);
        shown.set("width", changed.W());
        shown.set("height", changed.H());
        shown.set("rgba", rgbaOf(changed, scale));
        return shown;
    }

    // The controls a pointer reaches, in painting order, each with its
    // place in editor pixels (where it takes a press): { kind, rect, name }
    // where kind is "button" (named as drawn), "knob" (with its parameter,
    // and the text area that opens value entry), "keyboard" or "other".
    emscripten::val controls()
    {
        emscripten::val all = emscripten::val::array();
        for (int i = 0; i < mGraphics->NControls(); ++i)
        {
            IControl* control = mGraphics->GetControl(i);
            emscripten::val shown = emscripten::val::object();
            shown.set("rect", rectOf(control->GetTargetRECT()));
            shown.set("tooltip", std::string(control->GetTooltip() ? control->GetTooltip() : ""));
            if (const char* name = EditorButtonName(i))
            {
                shown.set("kind", "button");
                shown.set("name", std::string(name));
            }
            else if (auto* knob = dynamic_cast<IKnobMultiControlBitmapFont*>(control))
            {
                shown.set("kind", "knob");
                shown.set("param", control->ParamIdx());
                shown.set("name", std::string(ParamPlainName(static_cast<EParams>(control->ParamIdx()))));
                shown.set("textArea", rectOf(knob->GetTextArea()));
            }
            else
            {
                shown.set("kind", dynamic_cast<IKeyboardControl*>(control) ? "keyboard" : "other");
            }
            all.call<void>("push", shown);
        }
        return all;
    }

    // Points come in the canvas's CSS pixels from its top-left corner;
    // buttons as a pointer event's: 0 left, 2 right.
    void mouseDown(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, std::mem_fn(&IGraphics::OnMouseDown));
    }
    void mouseUp(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, std::mem_fn(&IGraphics::OnMouseUp));
    }
    void mouseDrag(double x, double y, int button, int modifiers)
    {
        pointer(x, y, button, modifiers, std::mem_fn(&IGraphics::OnMouseDrag));
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
            // A state sets the parameters only: the knobs follow them here.
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
        mPlug->GetCustomProperty(kPropertyLastKind, &size, kind);
        kind[sizeof kind - 1] = '\0';
        return kind;
    }

    // Makes a sound of a recipe kind, as its bytes come from recipeOf: "" when
    // made, else why not (and the sound stays).
    std::string makeFromRecipe(const emscripten::val& bytes)
    {
        const std::vector<unsigned char> recipe = emscripten::convertJSArrayToNumberVector<unsigned char>(bytes);
        if (recipe.empty() ||
            mPlug->SetCustomProperty(kPropertyRecipe, static_cast<UInt32>(recipe.size()), recipe.data()) != noErr)
            return "the instrument refused the recipe";
        mPlug->RedrawParamControls();
        return "";
    }

    // The OUTPUT meter's levels, from the instrument that plays (the
    // worklet's), as that instrument feeds its own editor after a block.
    void setMeters(double left, double right)
    {
        mPlug->ShowLevels(left, right);
    }

    // Seeds the generators' random sequence: the page seeds it afresh at
    // each load so that generators do not repeat the last visit's sounds.
    void seed(unsigned value) { mPlug->SeedRandom(value); }

    // The second press of a double-click, sent after its press as the
    // desktop view sends it.
    void mouseDblClick(double x, double y, int modifiers)
    {
        pointer(x, y, 0, modifiers, [](IGraphics& graphics, int ex, int ey, IMouseMod* mod)
                { graphics.OnMouseDblClick(ex, ey, mod); });
    }

    // Whole wheel steps, positive downwards as the page's wheel events count
    // them; the editor counts up as positive.
    void mouseWheel(double x, double y, int stepsDown, int modifiers)
    {
        pointer(x, y, 0, modifiers, [stepsDown](IGraphics& graphics, int ex, int ey, IMouseMod* mod)
                { graphics.OnMouseWheel(ex, ey, mod, -stepsDown); });
    }

    // Whether the wheel turns something at this point: a control with a
    // parameter; elsewhere the page scrolls.
    bool wheelTurns(double x, double y)
    {
        int ex, ey;
        EditorPointFromView(x, y, height(), &ex, &ey);
        return mGraphics->WheelTurnsAt(ex, ey);
    }

    // The tooltip of the control under the pointer, "" for none.
    std::string tooltip()
    {
        IControl* control = mGraphics->TooltipsEnabled() ? mGraphics->GetControl(mGraphics->GetMouseOver())
                                                         : nullptr;
        return control && !control->IsHidden() ? control->GetTooltip() : "";
    }

    // The on-screen keyboard's key as a MIDI note (-1 for none), as the
    // plug-in turns it into notes, and its velocity.
    emscripten::val keyboardNote()
    {
        int key = -1, velocity = 0;
        mPlug->GetOnScreenKey().Get(&key, &velocity);
        const int note = key + 12;
        emscripten::val held = emscripten::val::object();
        held.set("note", note >= 12 && note <= 127 ? note : -1);
        held.set("velocity", std::min(std::max(velocity, 1), 127));
        return held;
    }

    // A value field or menu the last event opened, or null: where it goes,
    // in editor pixels, and what it holds.
    emscripten::val prompt()
    {
        const WebWindow::Request* request = mWindow->TakeNew();
        if (!request)
            return emscripten::val::null();
        emscripten::val shown = emscripten::val::object();
        const IRECT& r = request->rect;
        shown.set("left", r.L);
        shown.set("top", r.T);
        shown.set("width", r.W());
        shown.set("height", r.H());
        if (request->kind == WebWindow::Kind::kMenu)
            describeMenu(*request, shown);
        else
            describeField(*request, shown);
        return shown;
    }

    // Whether the open field takes this text, as the user types it.
    bool entryAccepts(const std::string& text) { return mWindow->Accepts(text); }
    // Enter: "" when the field closed, else why it stays open.
    std::string enterText(const std::string& text) { return mWindow->EnterText(text); }
    // A click elsewhere: sets a typed number, keeps the value otherwise.
    void endEntry(const std::string& text) { mWindow->EndText(text); }
    // Escape: closes the field or menu, changing nothing.
    void cancelEntry() { mWindow->Close(); }
    // A menu entry chosen: false when there is none to choose at that index.
    bool choose(int index) { return mWindow->Choose(index); }

    // The sound slots as a visit keeps them for the next: { shown, values },
    // the slot shown and each slot's normalised values.
    // How many slots there are, without copying them: the page asks at each
    // change whether a generator added one.
    unsigned slotCount()
    {
        UInt32 size = 0;
        mPlug->GetCustomProperty(kPropertySlots, &size, nullptr);
        return size < sizeof(SInt32) ? 0 : static_cast<unsigned>((size - sizeof(SInt32)) / kSlotBytes);
    }

    // The slot the editor shows (its box's number less one), without copying the slots.
    int slotShown()
    {
        SInt32 slot[2] = {0, 0};
        UInt32 size = sizeof slot;
        mPlug->GetCustomProperty(kPropertySoundSlot, &size, slot);
        return size == sizeof slot ? slot[0] : 0;
    }

    emscripten::val slots()
    {
        UInt32 size = 0;
        mPlug->GetCustomProperty(kPropertySlots, &size, nullptr);
        std::vector<unsigned char> bytes(size);
        mPlug->GetCustomProperty(kPropertySlots, &size, bytes.data());
        SInt32 shown;
        std::memcpy(&shown, bytes.data(), sizeof shown);
        emscripten::val values = emscripten::val::array();
        for (size_t at = sizeof shown; at < bytes.size(); at += kSlotBytes)
        {
            double slot[kNumParams];
            std::memcpy(slot, &bytes[at], kSlotBytes);
            values.call<void>("push", emscripten::val::array(slot, slot + kNumParams));
        }
        emscripten::val kept = emscripten::val::object();
        kept.set("shown", shown);
        kept.set("values", values);
        return kept;
    }

    // Replaces the slots with the property's own bytes (the list's, whole):
    // "" when taken, else why not, and the slots stay as they were.
    std::string setSlotBytes(const emscripten::val& bytes)
    {
        const std::vector<unsigned char> slots = emscripten::convertJSArrayToNumberVector<unsigned char>(bytes);
        if (slots.size() > UINT32_MAX ||
            mPlug->SetCustomProperty(kPropertySlots, static_cast<UInt32>(slots.size()), slots.data()) != noErr)
            return "the slots are not whole, or a value lies outside 0 to 1";
        return "";
    }

    // Replaces the slots with kept ones, as slots() gives them: "" when taken,
    // else why not, and the slots stay as they were.
    std::string setSlots(emscripten::val kept)
    {
        const bool isObject = kept.typeOf().as<std::string>() == "object" && !kept.isNull();
        if (!isObject || !kept["shown"].isNumber() || !kept["values"].isArray())
            return "expected { shown, values }";
        const emscripten::val values = kept["values"];
        const size_t count = values["length"].as<size_t>();
        if (count > (UINT32_MAX - sizeof(SInt32)) / kSlotBytes)
            return "too many slots";
        const double shown = kept["shown"].as<double>();
        if (!(shown >= 0 && shown <= static_cast<double>(count)) || shown != std::floor(shown))
            return "the slot shown is not among the slots";
        std::vector<unsigned char> bytes(sizeof(SInt32) + count * kSlotBytes);
        const SInt32 index = static_cast<SInt32>(shown);
        std::memcpy(bytes.data(), &index, sizeof index);
        for (size_t s = 0; s < count; ++s)
        {
            const emscripten::val slot = values[s];
            if (!slot.isArray() || slot["length"].as<size_t>() != kNumParams)
                return "slot " + std::to_string(s) + " does not hold " + std::to_string(kNumParams) + " values";
            for (int p = 0; p < kNumParams; ++p)
            {
                if (!slot[p].isNumber())
                    return "slot " + std::to_string(s) + " holds a value that is not a number";
                const double value = slot[p].as<double>();
                std::memcpy(&bytes[sizeof index + s * kSlotBytes + p * sizeof value], &value, sizeof value);
            }
        }
        if (mPlug->SetCustomProperty(kPropertySlots, static_cast<UInt32>(bytes.size()), bytes.data()) != noErr)
            return "a value lies outside 0 to 1, or the slot shown is not among the slots";
        return "";
    }

private:
    static constexpr size_t kSlotBytes = kNumParams * sizeof(double);

    // The pixels' bounds that differ from the last picture's, found by
    // comparison: a control may draw beyond its own rectangle (a meter's
    // wide level text), so the dirty rectangles do not bound what changed.
    IRECT changedSinceShown()
    {
        PIX_IBitmap* image = mGraphics->GetDrawBitmap();
        const int w = width(), h = height();
        if (mShown.size() != static_cast<size_t>(w) * h)
            return IRECT(0, 0, w, h);
        int left = w, top = h, right = 0, bottom = 0;
        for (int y = 0; y < h; ++y)
        {
            const PIX_Pixel* row = image->getBits() + static_cast<size_t>(y) * image->getRowSpan();
            const PIX_Pixel* shown = mShown.data() + static_cast<size_t>(y) * w;
            if (std::memcmp(row, shown, static_cast<size_t>(w) * sizeof(PIX_Pixel)) == 0)
                continue;
            int first = 0, last = w - 1;
            while (row[first] == shown[first])
                ++first;
            while (row[last] == shown[last])
                --last;
            left = std::min(left, first);
            right = std::max(right, last + 1);
            top = std::min(top, y);
            bottom = y + 1;
        }
        return left < right ? IRECT(left, top, right, bottom) : IRECT();
    }

    void keepShown(const IRECT& rect)
    {
        PIX_IBitmap* image = mGraphics->GetDrawBitmap();
        const int w = width();
        mShown.resize(static_cast<size_t>(w) * height());
        for (int y = rect.T; y < rect.B; ++y)
        {
            const PIX_Pixel* row = image->getBits() + static_cast<size_t>(y) * image->getRowSpan();
            std::copy(row + rect.L, row + rect.R, mShown.data() + static_cast<size_t>(y) * w + rect.L);
        }
    }

    // A rectangle of the draw bitmap as RGBA rows, each pixel a scale x scale block.
    emscripten::val rgbaOf(const IRECT& rect, int scale)
    {
        PIX_IBitmap* image = mGraphics->GetDrawBitmap();
        const int w = rect.W() * scale, h = rect.H() * scale;
        mRgba.resize(static_cast<size_t>(w) * h * 4);
        uint8_t* out = mRgba.data();
        for (int y = 0; y < h; ++y)
        {
            const PIX_Pixel* row =
                image->getBits() + static_cast<size_t>(rect.T + y / scale) * image->getRowSpan();
            for (int x = 0; x < w; ++x, out += 4)
            {
                const PIX_Pixel pixel = row[rect.L + x / scale];
                for (int c = 0; c < 3; ++c)
                    out[c] = static_cast<uint8_t>(PIX_Channel(pixel, c + 1));
                out[3] = 255;
            }
        }
        return emscripten::val(emscripten::typed_memory_view(mRgba.size(), mRgba.data()));
    }

    static void describeMenu(const WebWindow::Request& request, emscripten::val& shown)
    {
        shown.set("kind", "menu");
        emscripten::val entries = emscripten::val::array();
        for (const WebWindow::MenuEntry& entry : request.entries)
        {
            emscripten::val item = emscripten::val::object();
            item.set("text", entry.text);
            item.set("checked", entry.checked);
            item.set("enabled", entry.enabled);
            item.set("separator", entry.separator);
            entries.call<void>("push", item);
        }
        shown.set("entries", entries);
    }

    static void describeField(const WebWindow::Request& request, emscripten::val& shown)
    {
        const IText& style = request.style;
        shown.set("kind", "text");
        shown.set("text", request.text);
        shown.set("maxLength", request.rules.maxLength);
        shown.set("size", style.mSize);
        shown.set("align", style.mAlign == IText::kAlignNear  ? "left"
                           : style.mAlign == IText::kAlignFar ? "right"
                                                              : "center");
        shown.set("color", cssColor(style.mTextEntryFGColor));
        shown.set("background", cssColor(style.mTextEntryBGColor));
    }

    // Modifier bits: 1 shift, 2 control, 4 alt, 8 meta (a meta-click counts as right).
    static IMouseMod modOf(int button, int modifiers)
    {
        const bool right = button == 2 || (modifiers & 8) != 0;
        return IMouseMod(!right, right, (modifiers & 1) != 0, (modifiers & 2) != 0, (modifiers & 4) != 0);
    }

    // The window learns the event's point first: a menu the event opens
    // belongs to the control there.
    template <class Handle>
    void pointer(double x, double y, int button, int modifiers, Handle handle)
    {
        int ex, ey;
        EditorPointFromView(x, y, height(), &ex, &ey);
        IMouseMod mod = modOf(button, modifiers);
        mWindow->SetEventPoint(ex, ey);
        handle(*mGraphics, ex, ey, &mod);
    }

    std::unique_ptr<MeteredInstrument> mPlug;
    IGraphics* mGraphics;
    WebWindow* mWindow; // owned by the graphics, open as long as the editor lives
    std::vector<uint8_t> mRgba;
    std::vector<PIX_Pixel> mShown; // the editor as the last picture showed it
};

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_editor)
{
    emscripten::class_<WebEditor>("Editor")
        .constructor<>()
        .function("width", &WebEditor::width)
        .function("height", &WebEditor::height)
        .function("picture", &WebEditor::picture)
        .function("controls", &WebEditor::controls)
        .function("mouseDown", &WebEditor::mouseDown)
        .function("mouseUp", &WebEditor::mouseUp)
        .function("mouseDrag", &WebEditor::mouseDrag)
        .function("mouseOver", &WebEditor::mouseOver)
        .function("code", &WebEditor::code)
        .function("setCode", &WebEditor::setCode)
        .function("kind", &WebEditor::kind)
        .function("seed", &WebEditor::seed)
        .function("setMeters", &WebEditor::setMeters)
        .function("mouseDblClick", &WebEditor::mouseDblClick)
        .function("mouseWheel", &WebEditor::mouseWheel)
        .function("wheelTurns", &WebEditor::wheelTurns)
        .function("tooltip", &WebEditor::tooltip)
        .function("keyboardNote", &WebEditor::keyboardNote)
        .function("prompt", &WebEditor::prompt)
        .function("entryAccepts", &WebEditor::entryAccepts)
        .function("enterText", &WebEditor::enterText)
        .function("endEntry", &WebEditor::endEntry)
        .function("cancelEntry", &WebEditor::cancelEntry)
        .function("choose", &WebEditor::choose)
        .function("slots", &WebEditor::slots)
        .function("slotCount", &WebEditor::slotCount)
        .function("slotShown", &WebEditor::slotShown)
        .function("makeFromRecipe", &WebEditor::makeFromRecipe)
        .function("setSlots", &WebEditor::setSlots)
        .function("setSlotBytes", &WebEditor::setSlotBytes);
}
