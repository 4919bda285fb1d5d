#pragma once

#include "RenderJob.h"

#include <string>

enum class SampleFormat
{
    kPcm16,
    kPcm24,
    kFloat,
    kDouble
};

SampleFormat ParseSampleFormat(const std::string& name);

// Writes a stereo WAV file, or headerless little-endian interleaved samples to
// standard output when the path is "-", and the state to statePath unless it is
// empty. A failed write leaves no new file and changes no existing one.
// A comment, when given, goes into the file's INFO metadata.
void WriteAudio(const std::string& path, SampleFormat format, double rate,
                const RenderResult& audio, const std::string& statePath = "",
                const std::string& comment = "");
