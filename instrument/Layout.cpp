// The instrument's editor: its images, MakeGraphics, and the layout that
// AttachEditor builds on an instrument that exists without it.
#include "Layout.h"

#include "Bleepforge.h"
#include "CFCompat.h"
#include "IGraphicsLinux.h"
#include "IKeyboardControl.h"
#include "PIX.h"
#include "qxControls.h"
#include "qxFontLists.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unistd.h>

// One identifier for the code and the bundle's Info.plist, set by the build.
const char* const kBleepforgeBundleID = BLEEPFORGE_BUNDLE_ID;

const EditorImage kEditorImages[kNumEditorImages] = {
    {kAboutImage, "resources/img/aboutAU.png", 1},
    {kBackgroundImage, "resources/img/Background.png", 1},
    {kKnobImage, "resources/img/KnobNes.png", 33},
    {kWhiteKeyImage, "resources/img/pianowhitekey.png", 6},
    {kBlackKeyImage, "resources/img/pianoblackkey.png", 1},
    {kWhiteRedKeyImage, "resources/img/pianowhiteredkey.png", 6},
    {kBlackRedKeyImage, "resources/img/pianoblackredkey.png", 1},
    {kMeterLeftImage, "resources/img/PeakMeterL.png", 19},
    {kMeterRightImage, "resources/img/PeakMeterR.png", 19},
    {kSmallKnobImage, "resources/img/KnobSNes.png", 65},
    {kSmallKnob2Image, "resources/img/KnobSNes2.png", 65},
    {kSwitchImage, "resources/img/Switch.png", 2},
    {kKnob2Image, "resources/img/KnobNes2.png", 33},
    {kKnob3Image, "resources/img/KnobNes3.png", 33},
    {kFont12Image, "resources/img/Eyetype_3_12.png", 224},
    {kFont14Image, "resources/img/Eyetype_3_14.png", 224},
    {kFont20Image, "resources/img/Eyetype_3_20.png", 224},
    {kFont14WhiteImage, "resources/img/Eyetype_3_14_white.png", 224},
    {kButtonsImage, "resources/img/Buttons.png", 30},
    {kSwitch3Image, "resources/img/Switch3.png", 3},
    {kSmallButtonsImage, "resources/img/ButtonsSmall.png", 9},
};

namespace
{

const int kKeyboardLeft = 138, kKeyboardTop = 707, kKeyboardLowestNote = 12;
const int kKeyboardOctaves = 8;
const int kKeyCoords[12] = {0, 7, 10, 17, 20, 30, 37, 40, 47, 50, 57, 60};
const int kMeterTextHeight = 16, kKnobTextHeight = 16;

struct ButtonPlace
{
    int x, y, frameBase;
    void (Bleepforge::*action)();
    const char* tooltip;
    const char* name; // as its image shows it, for what reads the editor aloud
};

const ButtonPlace kSoundButtons[] = {
    {153, 556, 0, &Bleepforge::ResetParams, "Reset to the initial values", "Reset"},
    {153, 606, 3, &Bleepforge::RandomizeParams, "Random! Great to discover new sounds!", "Random"},
    {261, 556, 6, &Bleepforge::PickupParams, "Pickup/Coin sounds", "Pickup"},
    {261, 606, 24, &Bleepforge::ShootParams,
     "Shoots, Lasers, Blasters! Maybe a flanger would be great!", "Shoot"},
    {369, 556, 12, &Bleepforge::PowerupParams, "Powerups!!", "Powerup"},
    {369, 606, 15, &Bleepforge::HitParams, "Hit, Hurt! Try with others waveforms!", "Hit"},
    {477, 556, 18, &Bleepforge::JumpParams, "Jump!!", "Jump"},
    {477, 606, 21, &Bleepforge::BlitParams, "Blips and Select sounds", "Blip"},
    {585, 556, 9, &Bleepforge::SlashParams, "Blade Slashes", "Slash"},
    {585, 606, 27, &Bleepforge::MutateParams,
     "Mutate the current values. Change the amount with the Mutation % Knob", "Mutate"},
};
const int kSoundButtonW = 108, kSoundButtonH = 50;

const ButtonPlace kSlotButtons[] = {
    {320, 240, 0, &Bleepforge::BtnPrev, "Go to the previous data index", "Prev"},
    {396, 240, 3, &Bleepforge::BtnNext, "Go to the next data index", "Next"},
    {472, 240, 6, &Bleepforge::BtnSave, "Save the current data index", "Save"},
};
const int kSlotButtonW = 76, kSlotButtonH = 30;
// The controls attached before the buttons: background, keyboard, two meters.
const int kFirstButtonControl = 4;

// Set once a plug-in that carries its own images says so: nothing else is
// searched then.
std::atomic<bool> ownBundleOnly{false};

// The resources folder of the bundle the build makes, and where an install puts
// the bundle beside the programs; the module's own bundle comes first anyway.
void addBundleLocations()
{
    if (ownBundleOnly)
        return;
    static std::once_flag once;
    std::call_once(once, []
    {
        char exe[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0)
        {
            std::string folder(exe, static_cast<size_t>(n));
            folder = folder.substr(0, folder.rfind('/'));
            CFCompatAddBundleSearchPath((folder + "/../lib/bleepforge/Bleepforge.component").c_str());
        }
#ifdef BLEEPFORGE_BUILD_BUNDLE
        CFCompatAddBundleSearchPath(BLEEPFORGE_BUILD_BUNDLE);
#endif
    });
}

std::string baseNameOf(const char* name)
{
    return PngBaseName(name);
}

} // namespace

const EditorImage& EditorImageOf(int id)
{
    return kEditorImages[id - kAboutImage];
}

IGraphics* MakeGraphics(IPluginBase* plug, int width, int height, int fps)
{
    addBundleLocations();
    auto* graphics = new IGraphicsLinux(plug, width, height, fps);
    graphics->SetBundleID(kBleepforgeBundleID);
    return graphics;
}

namespace
{

// The file of one editor image, "" when the bundle has none.
std::string imagePath(CFBundleRef bundle, const EditorImage& image)
{
    CFStringRef base = CFStringCreateWithCString(nullptr, baseNameOf(image.name).c_str(),
                                                 kCFStringEncodingUTF8);
    CFStringRef type = CFStringCreateWithCString(nullptr, "png", kCFStringEncodingUTF8);
    CFURLRef url = CFBundleCopyResourceURL(bundle, base, type, nullptr);
    CFRelease(type);
    CFRelease(base);
    UInt8 path[PATH_MAX] = {};
    const bool found = url && CFURLGetFileSystemRepresentation(url, true, path, sizeof path);
    if (url)
        CFRelease(url);
    return found ? reinterpret_cast<const char*>(path) : "";
}

} // namespace

void SearchOwnBundleOnly()
{
    ownBundleOnly = true;
}

std::string LoadEditorImages()
{
    addBundleLocations();
    CFStringRef identifier = CFStringCreateWithCString(nullptr, kBleepforgeBundleID,
                                                       kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier);
    CFRelease(identifier);
    for (const EditorImage& image : kEditorImages)
    {
        if (IGraphics::IsBitmapCached(image.id))
            continue;
        const std::string path = imagePath(bundle, image);
        if (path.empty())
            return std::string("cannot find the editor image '") + baseNameOf(image.name) +
                   ".png'; looked in: " + CFCompatDescribeBundleSearch();
        PIX_IBitmap* opened = PIX_OpenPNG(path.c_str());
        if (!opened)
            return "the editor image '" + path +
                   "' is damaged, too large or not a PNG file; reinstall Bleepforge";
        IGraphics::CacheBitmap(opened, image.id);
    }
    return "";
}

namespace
{

// The slot label and the about box, which the instrument tells what to show.
class EditorView : public BleepforgeView
{
public:
    EditorView(ITextControlBitmapFont* slotLabel, IBitmapOverlayControl* aboutBox)
        : mSlotLabel(slotLabel), mAboutBox(aboutBox)
    {
    }
    // Counted from 1, as people count sounds; the slots property counts from 0.
    void ShowSlotIndex(int index) override
    {
        char text[16];
        std::snprintf(text, sizeof text, "%d", index + 1);
        mSlotLabel->SetTextFromPlug(text);
    }
    void ShowAboutBox() override
    {
        mAboutBox->SetValueFromPlug(1.0);
        mAboutBox->Hide(false);
    }

private:
    ITextControlBitmapFont* mSlotLabel;
    IBitmapOverlayControl* mAboutBox;
};

IControl* createKnob(Bleepforge& plug, int paramIdx, IBitmap* knob, IBitmap* selector, IBitmap* font,
                     IText* style)
{
    const ParamProperties& row = paramProperties[paramIdx];
    const IRECT rect(row.x, row.y, row.x + row.width, row.y + row.height);
    IKnobControl* control;
    if (paramIdx == kPitchHighNote || paramIdx == kPitchLowNote)
        control = new IKnobMultiControlBitmapFontMidiNote(&plug, rect, paramIdx, knob, style, font,
                                                          advList_Eyetype_3_14, kKnobTextHeight);
    else
        control = new IKnobMultiControlBitmapFont(
            &plug, rect, paramIdx,
            paramIdx == kPitchJumpTrigger || paramIdx == kBitCrushPosition ? selector : knob, style,
            font, advList_Eyetype_3_14, kKnobTextHeight);
    control->SetTooltip(row.tooltip);
    return control;
}

void attachKeyboard(Bleepforge& plug, IGraphics* graphics)
{
    IBitmap white = graphics->LoadIBitmap(kWhiteKeyImage, EditorImageOf(kWhiteKeyImage).name, 6);
    IBitmap black = graphics->LoadIBitmap(kBlackKeyImage, EditorImageOf(kBlackKeyImage).name, 1);
    graphics->LoadIBitmap(kWhiteRedKeyImage, EditorImageOf(kWhiteRedKeyImage).name, 6);
    graphics->LoadIBitmap(kBlackRedKeyImage, EditorImageOf(kBlackRedKeyImage).name, 1);
    graphics->AttachControl(new IKeyboardControl(&plug, kKeyboardLeft, kKeyboardTop, kKeyboardLowestNote,
                                                 kKeyboardOctaves, &white, &black, kKeyCoords,
                                                 &plug.GetOnScreenKey()));
}

} // namespace

IGraphics* AttachEditor(Bleepforge& plug)
{
    IGraphics* graphics = MakeGraphics(&plug, kEditorWidth, kEditorHeight, 0);
    graphics->AttachBackground(kBackgroundImage, EditorImageOf(kBackgroundImage).name);
    graphics->HandleMouseOver(true);
    attachKeyboard(plug, graphics);

    std::vector<IBitmap> images(kNumEditorImages);
    auto load = [&](int id)
    {
        const EditorImage& image = EditorImageOf(id);
        return images[static_cast<size_t>(id - kAboutImage)] =
                   graphics->LoadIBitmap(id, image.name, image.frames);
    };
    IBitmap knob = load(kKnobImage);
    for (int id = kMeterLeftImage; id <= kSmallButtonsImage; ++id)
        load(id);
    auto image = [&](int id) { return &images[static_cast<size_t>(id - kAboutImage)]; };

    IText style(14, &COLOR_BLACK, "Arial,sans-serif", IText::kStyleNormal, IText::kAlignCenter, 0,
                IText::kQualityDefault);
    const Bleepforge* levels = &plug;
    for (int channel = 0; channel < 2; ++channel)
    {
        auto* meter = new IPeakMeterBitmapBitmapFont(
            &plug, channel == 0 ? IRECT(760, 100, 788, 242) : IRECT(788, 100, 817, 242),
            image(channel == 0 ? kMeterLeftImage : kMeterRightImage), &style, image(kFont12Image),
            advList_Eyetype_3_12, kMeterTextHeight,
            channel == 0 ? IPeakMeterBitmapBitmapFont::kAlignRight : IPeakMeterBitmapBitmapFont::kAlignLeft,
            channel == 0 ? 2 : 0);
        meter->SetLevelSource([levels, channel] { return levels->MeterLevel(channel); });
        graphics->AttachControl(meter);
    }

    auto attachButton = [&](const ButtonPlace& place, int w, int h, int imageId)
    {
        auto* button = new IButtonControl(&plug, IRECT(place.x, place.y, place.x + w, place.y + h),
                                          image(imageId), place.frameBase);
        button->mClicked.Connect(&plug, place.action);
        button->SetTooltip(place.tooltip);
        graphics->AttachControl(button);
    };
    for (const ButtonPlace& place : kSoundButtons)
        attachButton(place, kSoundButtonW, kSoundButtonH, kButtonsImage);
    for (const ButtonPlace& place : kSlotButtons)
        attachButton(place, kSlotButtonW, kSlotButtonH, kSmallButtonsImage);
    auto* slotLabel = new ITextControlBitmapFont(&plug, IRECT(548, 240, 603, 270), &style,
                                                 image(kFont14Image), advList_Eyetype_3_14, "1");
    slotLabel->SetTooltip("Current data index");
    graphics->SetPixelFont(new BitmapPixelFont(image(kFont14Image), advList_Eyetype_3_14));
    graphics->AttachControl(slotLabel);

    for (int i = 0; i < kNumParams; ++i)
        if (ParamHasKnob(static_cast<EParams>(i)))
            graphics->AttachControl(createKnob(plug, i, &knob, image(kSwitch3Image), image(kFont14Image),
                                               &style));

    IBitmap about = graphics->LoadIBitmap(kAboutImage, EditorImageOf(kAboutImage).name, 1);
    auto* aboutBox = new IBitmapOverlayControl(&plug, 0, 0, &about, IRECT(255, 668, 590, 701));
    graphics->AttachControl(aboutBox);
    graphics->EnableTooltips(true);
    auto view = std::make_unique<EditorView>(slotLabel, aboutBox);
    view->ShowSlotIndex(plug.GetSlotIndex());
    plug.SetView(std::move(view));
    plug.AttachGraphics(graphics);
    return graphics;
}

const char* EditorButtonName(int controlIndex)
{
    const int sounds = sizeof kSoundButtons / sizeof kSoundButtons[0];
    const int slots = sizeof kSlotButtons / sizeof kSlotButtons[0];
    const int at = controlIndex - kFirstButtonControl;
    if (at >= 0 && at < sounds)
        return kSoundButtons[at].name;
    if (at >= sounds && at < sounds + slots)
        return kSlotButtons[at - sounds].name;
    return nullptr;
}

IGraphics* EditorOf(Bleepforge& plug)
{
    return dynamic_cast<IGraphics*>(plug.GetGUI());
}
