// The editor as an LV2 X11 UI: an instance of the instrument of its own whose
// editor sits in a plain X11 child of the host's window. It reaches the DSP
// only through the host: parameter moves as control-port writes, on-screen
// keys as MIDI events, meters from the output ports. Generators, Mutate and
// the slots run here, as they run on the editor's thread in the plug-in.
// Everything runs on the host's UI thread.
#include "Bleepforge.h"
#include "CFCompat.h"
#include "IGraphicsLinux.h"
#include "IGraphicsLinuxX11.h"
#include "LV2Plugin.h"
#include "Layout.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace
{

// The editor's images lie in the bundle's Resources, and nowhere else: an
// installed bundle never borrows another's. A missing or damaged one refuses
// the editor, saying which and where it was looked for, instead of stopping
// the host at the editor's assertion. Editors may be made on several threads
// at once.
bool openEditorImages(const char* bundlePath)
{
    static std::mutex mutex;
    static std::set<std::string> searched;
    std::lock_guard<std::mutex> lock(mutex);
    SearchOwnBundleOnly();
    std::string resources = bundlePath ? bundlePath : ".";
    if (resources.size() > 1 && resources.back() == '/')
        resources.pop_back(); // hosts give the bundle's path with its slash
    resources += "/Resources";
    if (searched.insert(resources).second)
        CFCompatAddBundleSearchPath(resources.c_str());
    const std::string unusable = LoadEditorImages();
    if (!unusable.empty())
        std::fprintf(stderr, "Bleepforge: %s\n", unusable.c_str());
    return unusable.empty();
}

// 2 when the host or the desktop asks for doubled pixels.
int scaleOf(const LV2_Feature* const* features, LV2_URID_Map* map)
{
    if (const void* scale = FindLV2Option(features, map, LV2_UI__scaleFactor, LV2_ATOM__Float, sizeof(float)))
        return *static_cast<const float*>(scale) >= 2.0f ? 2 : 1;
    const char* desktop = std::getenv("GDK_SCALE");
    return desktop && std::atoi(desktop) >= 2 ? 2 : 1;
}

// The editor's instance of the instrument. Each value its editor, a generator
// or a slot changes is written to the host as it changes; a control's grab
// and release reach the host as touch (hosts recording automation need them),
// after the value it moved. Its meters show the DSP's levels, as the host
// passes them on.
class EditorInstance : public Bleepforge
{
public:
    EditorInstance(const LV2UI_Touch* touch, std::function<void(int)> moved)
        : Bleepforge(IPluginInstanceInfo()), mTouch(touch), mMoved(std::move(moved))
    {
    }
    double MeterLevel(int channel) const override { return mLevels[channel]; }
    void ShowLevel(int channel, float level) { mLevels[channel] = level; }
    void BeginInformHostOfParamChange(int paramIdx) override
    {
        Bleepforge::BeginInformHostOfParamChange(paramIdx);
        if (mTouch)
            mTouch->touch(mTouch->handle, static_cast<uint32_t>(paramIdx), true);
    }
    void InformHostOfParamChange(int paramIdx, double) override { mMoved(paramIdx); }
    void EndInformHostOfParamChange(int paramIdx) override
    {
        Bleepforge::EndInformHostOfParamChange(paramIdx);
        if (mTouch)
            mTouch->touch(mTouch->handle, static_cast<uint32_t>(paramIdx), false);
    }

private:
    const LV2UI_Touch* mTouch; // null when the host offers none
    std::function<void(int)> mMoved;
    double mLevels[2] = {}; // the host's UI thread only
};

class BleepforgeLV2UI
{
public:
    BleepforgeLV2UI(LV2UI_Write_Function write, LV2UI_Controller controller, LV2_URID_Map* map,
                    const LV2UI_Touch* touch)
        : mWrite(write), mController(controller),
          mPlug(new EditorInstance(touch, [this](int paramIdx) { writeMoved(paramIdx); })),
          mMidiEvent(map->map(map->handle, LV2_MIDI__MidiEvent)),
          mEventTransfer(map->map(map->handle, LV2_ATOM__eventTransfer))
    {
        AttachEditor(*mPlug);
        for (int i = 0; i < kNumParams; ++i)
            mKnown[i] = static_cast<float>(mPlug->GetParam(i)->Value());
    }
    ~BleepforgeLV2UI() { Graphics()->CloseWindow(); }

    IGraphicsLinux* Graphics() { return static_cast<IGraphicsLinux*>(EditorOf(*mPlug)); }

    void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        if (format != 0 || size != sizeof(float))
            return;
        const float value = *static_cast<const float*>(buffer);
        if (value != value)
            return;
        if (port < static_cast<uint32_t>(kNumParams))
        {
            const int index = static_cast<int>(port);
            mKnown[port] = value;
            mPlug->SetParameterFromHost(index, mPlug->GetParam(index)->AsShownByHost(value));
        }
        else if (port == kLV2MeterLeft || port == kLV2MeterRight)
            mPlug->ShowLevel(port == kLV2MeterLeft ? 0 : 1, value);
    }

    int Idle()
    {
        Graphics()->IdleWindow();
        sendKeyboardNotes();
        return 0;
    }

private:
    // A value the editor's instance changed goes to the host, and the editor
    // keeps what the port carries, as the DSP does. A port the host set is
    // known already: it goes back to no one.
    void writeMoved(int paramIdx)
    {
        const float value = static_cast<float>(mPlug->GetParam(paramIdx)->Value());
        if (value == mKnown[paramIdx])
            return;
        mKnown[paramIdx] = value;
        mWrite(mController, static_cast<uint32_t>(paramIdx), sizeof value, 0, &value);
        mPlug->SetParameterFromHost(paramIdx, value);
    }

    void sendMidi(uint8_t status, uint8_t note, uint8_t velocity)
    {
        struct
        {
            LV2_Atom atom;
            uint8_t bytes[3];
        } event = {{3, mMidiEvent}, {status, note, velocity}};
        mWrite(mController, kLV2MidiIn, sizeof event, mEventTransfer, &event);
    }

    // The on-screen key becomes a note-off and a note-on, as the plug-in
    // turns it into MIDI on its audio thread.
    void sendKeyboardNotes()
    {
        int key = -1, velocity = 0;
        mPlug->GetOnScreenKey().Get(&key, &velocity);
        const int note = key + 12;
        if (mLastNote >= 12 && mLastNote != note)
            sendMidi(0x80, static_cast<uint8_t>(mLastNote), 0);
        if (note >= 12 && note <= 127 && note != mLastNote)
            sendMidi(0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(std::min(velocity, 127)));
        mLastNote = note;
    }

    LV2UI_Write_Function mWrite;
    LV2UI_Controller mController;
    std::unique_ptr<EditorInstance> mPlug;
    LV2_URID mMidiEvent, mEventTransfer;
    float mKnown[kNumParams] = {}; // what the host's ports hold, as far as the UI knows
    int mLastNote = 11;            // below 12: no key held
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(FindLV2Feature(features, LV2_URID__map)));
    if (!map)
        return nullptr;
    if (!openEditorImages(bundlePath))
        return nullptr;
    const int scale = scaleOf(features, map);
    UseX11Windows(scale);
    auto ui = std::make_unique<BleepforgeLV2UI>(
        write, controller, map, static_cast<const LV2UI_Touch*>(FindLV2Feature(features, LV2_UI__touch)));
    void* view = ui->Graphics()->OpenWindow(const_cast<void*>(FindLV2Feature(features, LV2_UI__parent)));
    if (!view)
        return nullptr; // no display
    *widget = view;
    if (const auto* resize = static_cast<const LV2UI_Resize*>(FindLV2Feature(features, LV2_UI__resize)))
        resize->ui_resize(resize->handle, ui->Graphics()->Width() * scale, ui->Graphics()->Height() * scale);
    return ui.release();
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<BleepforgeLV2UI*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    static_cast<BleepforgeLV2UI*>(handle)->PortEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
    return static_cast<BleepforgeLV2UI*>(handle)->Idle();
}

const void* extensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface = {idle};
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {BLEEPFORGE_LV2_UI_URI, instantiate, cleanup, portEvent, extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
