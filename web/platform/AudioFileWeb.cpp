// The browser build reads sounds from codes only: a page takes the code out
// of a file's chunk itself (see the JavaScript API's parseWav).
#include "AudioFile.h"

#include <stdexcept>

ByteChunk ReadSoundFromAudio(const std::string& path)
{
    throw std::runtime_error("'" + path + "': audio files are not opened here; give the sound code");
}

bool LooksLikeAudioFile(const std::string&)
{
    return false;
}

std::string ReadCodeFromAudio(const std::string& path)
{
    throw std::runtime_error("'" + path + "': audio files are not opened here; give the sound code");
}
