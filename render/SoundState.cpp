#include "SoundState.h"

#include "AudioFile.h"
#include "ShareCode.h"

#include "KIT_ReadFile.h"
#include "KIT_Text.h"

#include <stdexcept>
#include <unistd.h>

namespace
{

ByteChunk readStateFile(const std::string& path)
{
    std::string bytes, error;
    if (!KIT_ReadFile(path, kStateSize, &bytes, &error)) // a longer file is refused here too
        throw std::runtime_error("cannot read state file: " + error);
    if (bytes.size() != kStateSize)
        throw std::runtime_error("'" + path + "' is not a complete state (" +
                                 std::to_string(bytes.size()) + " bytes, expected " +
                                 std::to_string(kStateSize) + ")");
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), kStateSize);
    return chunk;
}

// The values, or what is wrong with the state, named as `what`.
std::vector<double> decodeState(const ByteChunk& state, const std::string& what)
{
    if (state.Size() != kStateSize)
        throw std::runtime_error(what + " has " + std::to_string(state.Size()) + " bytes, not the " +
                                 std::to_string(kStateSize) + " of a state");
    std::vector<double> values(kNumParams);
    int32_t version = 0, nonFinite = -1;
    if (StateCodec::Decode(state.GetBytes(), static_cast<size_t>(state.Size()), kNumParams, &version,
                           values.data(), &nonFinite) < 0)
        throw std::runtime_error(what + " holds a value that is not a finite number "
                                 "(parameter " + std::to_string(nonFinite) + ")");
    return values;
}

} // namespace

ByteChunk ReadState(const std::string& fileOrCode)
{
    // A code copied from a terminal may bring blanks and line ends along.
    const std::string code = TrimSpace(fileOrCode);
    const bool isCode = LooksLikeShareCode(code) && access(fileOrCode.c_str(), F_OK) != 0;
    const ByteChunk state = isCode                            ? DecodeShareCode(code)
                            : LooksLikeAudioFile(fileOrCode) ? ReadSoundFromAudio(fileOrCode)
                                                             : readStateFile(fileOrCode);
    decodeState(state, isCode ? std::string("the sound code") : "'" + fileOrCode + "'");
    return state;
}

std::vector<double> StateValues(const ByteChunk& state)
{
    return decodeState(state, "the state");
}

NoteSpec DefaultNote(const ByteChunk& state)
{
    const std::vector<double> values = StateValues(state);
    NoteSpec note;
    note.note = 60;
    note.velocity = 127;
    note.start = 0.0;
    note.duration = values[kAmpEnvAttack] + values[kAmpEnvHold] + values[kAmpEnvDecay];
    return note;
}

std::string BytesOf(const ByteChunk& chunk)
{
    return std::string(reinterpret_cast<const char*>(chunk.GetBytes()),
                       static_cast<size_t>(chunk.Size()));
}
