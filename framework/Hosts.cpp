#include "Hosts.h"

#include "Log.h"

#include <cstring>

namespace
{

struct Fragment
{
    const char* text;
    EHost host;
};

// Tested in this order; the first fragment found anywhere wins.
const Fragment kFragments[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFL},
    {"live", kHostLive},
    {"melodyne", kHostMelodyne},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"standalone", kHostStandalone},
};

const char* const kDisplayNames[kNumHosts] = {
    "Unknown",    "Reaper",     "ProTools",   "Cubase",
    "Nuendo",     "Sonar",      "Vegas",      "FLStudio",
    "Samplitude", "Live",       "Unknown",    "Unknown",
    "Unknown",    "VSTScanner", "AULab",      "Forte",
    "Chainer",    "Audition",   "Orion",      "Unknown",
    "SAWStudio",  "Logic",      "GarageBand", "DigitalPerformer",
    "Standalone", "AudioMulch", "StudioOne",  "VST3PluginTestHost",
    "Ardour",
};

const int kNameCapacity = 256;

} // namespace

EHost LookUpHost(const char* productName)
{
    char lower[kNameCapacity];
    ToLower(lower, productName ? productName : "", kNameCapacity);
    for (const Fragment& fragment : kFragments)
    {
        if (std::strstr(lower, fragment.text))
            return fragment.host;
    }
    return kHostUnknown;
}

void GetHostNameStr(EHost host, char* text)
{
    const bool known = host >= kHostUnknown && host < kNumHosts;
    std::strcpy(text, known ? kDisplayNames[host] : "Unknown");
}
