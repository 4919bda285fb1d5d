#pragma once

#include <cstddef>
#include <string>

// "1 sound", "2 sounds", "0 sounds": a count with its noun, for the nouns the
// app counts (sounds, samples, variations, files), which add an s.
inline std::string Counted(size_t count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}
// A second window's warning, which the status keeps until another message comes.
inline constexpr char kNotKept[] = "This window's sound is not kept";
