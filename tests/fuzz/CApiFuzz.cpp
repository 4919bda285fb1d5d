// The C library from arbitrary calls: fields split at NUL bytes, each an
// operation byte and its argument (text, or raw bytes for numbers, states
// and notes). Every call must answer a status it declares, with a message
// when it refuses, and never accept a value it must refuse.
#include "bleepforge.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const int kRate = 1000; // the cheapest render
const size_t kCapacity = 64;

template <typename T> T numberOf(const std::string& bytes)
{
    T value{};
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

void checkStatus(bf_status status, const char* message)
{
    if (status < BF_OK || status > BF_FAILED)
        std::abort();
    if (status != BF_OK && message[0] == '\0')
        std::abort();
}

std::vector<bf_note> notesOf(const std::string& bytes)
{
    std::vector<bf_note> notes(bytes.size() / sizeof(bf_note));
    if (!notes.empty())
        std::memcpy(notes.data(), bytes.data(), notes.size() * sizeof(bf_note));
    return notes;
}

void instrumentCall(bf_instrument* sound, bf_player* player, int op, const std::string& arg)
{
    float out[kCapacity * 2];
    size_t frames = 0;
    double value = 0.0;
    char code[BF_CODE_SIZE];
    const char* text = arg.c_str();
    bf_status status = BF_OK;
    switch (op)
    {
    case 0:
        status = bf_instrument_load_code(sound, text);
        break;
    case 1:
        status = bf_instrument_load_state(sound, arg.data(), arg.size());
        break;
    case 2:
        status = bf_instrument_generate(sound, text, numberOf<uint32_t>(arg));
        break;
    case 3:
        status = bf_instrument_load_recipe(sound, text, 1);
        break;
    case 4:
    {
        const double number = numberOf<double>(arg);
        status = bf_instrument_set(sound, text, number);
        if (status == BF_OK && !std::isfinite(number))
            std::abort();
        break;
    }
    case 5:
        status = bf_instrument_set_text(sound, text, text + std::strlen(text) / 2);
        break;
    case 6:
        status = bf_instrument_get(sound, text, &value);
        if (status == BF_OK && !std::isfinite(value))
            std::abort();
        break;
    case 7:
    {
        const std::vector<bf_note> notes = notesOf(arg);
        status = bf_instrument_render(sound, notes.data(), notes.size(), kRate,
                                      1 + (arg.size() & 1), 1, out, kCapacity, &frames);
        break;
    }
    case 8:
        status = bf_instrument_code(sound, code, numberOf<uint16_t>(arg) % (BF_CODE_SIZE + 1));
        break;
    case 9:
        status = bf_player_set_kind(player, arg.empty() ? nullptr : text);
        break;
    case 10:
        status = bf_player_set_recipe(player, arg.empty() ? nullptr : text);
        break;
    case 11:
        status = bf_player_lock(player, text);
        break;
    case 12:
        status = bf_player_set_pitch(player, numberOf<int>(arg));
        break;
    case 13:
        status = bf_player_set_mutation(player, numberOf<double>(arg));
        break;
    case 14:
        status = bf_player_set_sound(player, sound);
        break;
    case 15:
        status = bf_player_next(player, kRate, 1, out, kCapacity, &frames);
        break;
    case 16:
        status = bf_player_seek(player, numberOf<uint8_t>(arg));
        break;
    default:
    {
        bf_play play;
        status = bf_player_last(player, &play, sound);
        break;
    }
    }
    checkStatus(status, op >= 9 ? bf_player_message(player) : bf_instrument_message(sound));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bf_instrument* sound = bf_instrument_new();
    bf_player* player = bf_player_new(size);
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t calls = 0;
    for (size_t from = 0; from < input.size() && calls < 8; ++calls)
    {
        size_t end = input.find('\0', from);
        if (end == std::string::npos)
            end = input.size();
        const std::string field = input.substr(from, end - from);
        if (!field.empty())
            instrumentCall(sound, player, static_cast<unsigned char>(field[0]) % 18,
                           field.substr(1));
        from = end + 1;
    }
    bf_player_free(player);
    bf_instrument_free(sound);
    return 0;
}
