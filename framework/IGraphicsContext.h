#pragma once

// What the plug-in base needs of its editor's graphics context: it pushes
// parameter values into the controls, prepares drawing when the context is
// attached, marks everything for repainting, moves controls as a user would,
// and owns (deletes) the context; and what a host adapter's views need of it:
// open its window in a host's (by parent, or by window and parent control)
// and close it. The editor's IGraphics implements it, so neither the
// framework nor an adapter depends on the editor.
class IGraphicsContext
{
public:
    virtual ~IGraphicsContext() = default;
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    virtual void PrepDraw() = 0;
    virtual void SetAllControlsDirty() = 0;
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue) = 0;
    virtual void* OpenWindow(void* parent) = 0;
    virtual void* OpenWindow(void* window, void* parentControl, short x, short y) = 0;
    virtual void CloseWindow() = 0;
};
