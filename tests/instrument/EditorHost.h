#pragma once

#include "IGraphics.h"
#include "Layout.h"
#include "TestHost.h"

namespace test_host
{

// A host that shows the instrument's editor.
class EditorHost : public Host
{
public:
    explicit EditorHost(int block = 64) : Host(block), editor(AttachEditor(plug)) {}

    IGraphics* editor;
};

} // namespace test_host
