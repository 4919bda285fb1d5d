#include "KeptList.h"

#include "KIT_ReadFile.h"
#include "SlotStates.h"
#include "SoundFiles.h"

#include <stdexcept>
#include <unistd.h>

namespace
{

const size_t kMostListBytes = size_t(1) << 27;
const size_t kMostSlotsBytes = size_t(1) << 26;

std::string readKept(const std::string& path, size_t most)
{
    std::string bytes, error;
    if (!KIT_ReadFile(path, most, &bytes, &error))
        throw std::runtime_error(error);
    return bytes;
}

bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

KeptList LoadKeptList(const std::string& listPath, const std::string& slotsPath,
                      const std::string& stateVersion)
{
    KeptList kept;
    const bool list = exists(listPath);
    const std::string& path = list ? listPath : slotsPath;
    try
    {
        if (list)
            kept.sounds = SoundList::FromFileText(readKept(listPath, kMostListBytes));
        else if (exists(slotsPath))
            kept.sounds = ListOfSlots(SlotsFromFileBytes(readKept(slotsPath, kMostSlotsBytes)), stateVersion);
    }
    catch (const std::exception& e)
    {
        const std::string aside = MoveAside(path);
        kept.problem = std::string(list ? "the list of sounds" : "the kept slots") + " could not be read" +
                       (aside.empty() ? ", and stay in " + path : " (kept as " + aside + ")") + ": " + e.what();
        kept.keep = !list || !aside.empty();
    }
    return kept;
}
