#pragma once

// What the plug-in base needs of its editor's graphics context: it pushes
// parameter values into the controls, prepares drawing when the context is
// attached, marks everything for repainting, moves controls as a user would,
// and owns (deletes) the context. The editor's IGraphics implements it, so the
// framework never depends on the editor.
class IGraphicsContext
{
public:
    virtual ~IGraphicsContext() = default;
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    virtual void PrepDraw() = 0;
    virtual void SetAllControlsDirty() = 0;
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue) = 0;
};
