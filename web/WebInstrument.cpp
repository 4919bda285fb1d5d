#include "WebInstrument.h"

#include "Bleepforge.h"

std::unique_ptr<Bleepforge> OpenWebInstrument()
{
    IPluginInstanceInfo info;
    return std::make_unique<Bleepforge>(info);
}
