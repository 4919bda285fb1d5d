#pragma once

// The editor's graphics context, as far as the plug-in base drives it: the base
// pushes parameter values into the controls and prepares drawing when the
// context is attached, and owns (deletes) it afterwards.
class IGraphics
{
public:
    virtual ~IGraphics() = default;
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    virtual void PrepDraw() = 0;
};
