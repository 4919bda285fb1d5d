// Sounds kept as 484-byte state files, as the desktop app and the command
// line save them: read into a sound code, checked whole.
#include "Params.h"
#include "SoundState.h"
#include "ShareCode.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <stdexcept>
#include <string>

namespace
{

const char kStateSubject[] = "the state"; // how the instrument's checks name it

// {code} of the state the bytes hold, or {error} saying why they are none,
// naming them as `what` (a file's name in quotes).
emscripten::val stateCode(const std::string& bytes, const std::string& what)
{
    emscripten::val answer = emscripten::val::object();
    try
    {
        if (bytes.size() != static_cast<size_t>(kStateSize))
            throw std::runtime_error(what + " is not a complete state (" + std::to_string(bytes.size()) +
                                     " bytes, expected " + std::to_string(kStateSize) + ")");
        ByteChunk state;
        state.PutBytes(bytes.data(), kStateSize);
        try
        {
            StateValues(state);
        }
        catch (const std::runtime_error& e)
        {
            const std::string reason = e.what();
            throw std::runtime_error(reason.compare(0, sizeof kStateSubject - 1, kStateSubject) == 0
                                         ? what + reason.substr(sizeof kStateSubject - 1)
                                         : reason);
        }
        answer.set("code", EncodeShareCode(state));
    }
    catch (const std::exception& e)
    {
        answer.set("error", std::string(e.what()));
    }
    return answer;
}

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_state_files)
{
    emscripten::function("stateCode", &stateCode);
}
