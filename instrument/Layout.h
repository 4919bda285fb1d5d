#pragma once

#include <string>

class Bleepforge;
class IGraphics;
class IPluginBase;

// The editor's images: resource id, name and frame count.
struct EditorImage
{
    int id;
    const char* name;
    int frames;
};

enum EEditorImage
{
    kAboutImage = 101,
    kBackgroundImage,
    kKnobImage,
    kWhiteKeyImage,
    kBlackKeyImage,
    kWhiteRedKeyImage,
    kBlackRedKeyImage,
    kMeterLeftImage,
    kMeterRightImage,
    kSmallKnobImage,
    kSmallKnob2Image,
    kSwitchImage,
    kKnob2Image,
    kKnob3Image,
    kFont12Image,
    kFont14Image,
    kFont20Image,
    kFont14WhiteImage,
    kButtonsImage,
    kSwitch3Image,
    kSmallButtonsImage
};

const int kNumEditorImages = 21;
extern const EditorImage kEditorImages[kNumEditorImages];
const EditorImage& EditorImageOf(int id);

const int kEditorWidth = 846;
const int kEditorHeight = 768;
extern const char* const kBleepforgeBundleID;

// Builds the instrument's editor (background, keyboard, meters, buttons, slot
// label, knobs, about box), gives the instrument its view and attaches the
// editor, which the instrument then owns; once per instrument. The images
// come from the image cache or the bundle (LoadEditorImages checks them).
IGraphics* AttachEditor(Bleepforge& plug);
// The name an editor button shows ("Pickup"), by its control's index in the
// editor; null for a control that is no button.
const char* EditorButtonName(int controlIndex);
// The instrument's editor, or null when none is attached.
IGraphics* EditorOf(Bleepforge& plug);
// Creates the Linux graphics context for the instrument's bundle.
IGraphics* MakeGraphics(IPluginBase* plug, int width, int height, int fps = 0);
// Opens every editor image into the shared image cache ahead of the editor,
// which then finds them there; pixels are decoded at first draw. Empty when all are there and sound; otherwise
// which one is missing (and where it was looked for) or damaged.
std::string LoadEditorImages();
// For a plug-in whose bundle carries the images (LV2): from now on they are
// looked for only where BLEEPFORGE_RESOURCES points and in the folders given
// to CFCompatAddBundleSearchPath, never beside the program that loaded it or
// in the build folder.
void SearchOwnBundleOnly();
