#include "RequestParsing.h"

#include "KIT_Text.h"

#include <chrono>
#include <cmath>
#include <vector>

NoteSpec ParseNote(const std::string& text)
{
    std::vector<std::string> fields;
    for (size_t from = 0;;)
    {
        const size_t colon = text.find(':', from);
        fields.push_back(text.substr(from, colon - from));
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    if (fields.size() > 4)
        throw UsageError("--note '" + text + "': expected N[:VEL[:START[:DUR]]]");
    double values[4] = {0, 127, 0, 0.5};
    for (size_t i = 0; i < fields.size(); ++i)
    {
        if (!ParseNumber(fields[i], &values[i]))
            throw UsageError("--note '" + text + "': '" + fields[i] + "' is not a number");
    }
    NoteSpec note;
    if (values[0] != std::floor(values[0]) || values[0] < 0 || values[0] > 127)
        throw UsageError("--note '" + text + "': the note number must be a whole 0 ... 127");
    if (values[1] != std::floor(values[1]) || values[1] < 1 || values[1] > 127)
        throw UsageError("--note '" + text + "': the velocity must be a whole 1 ... 127");
    if (values[2] < 0 || values[2] > 3600 || values[3] < 0 || values[3] > 3600)
        throw UsageError("--note '" + text + "': start and duration must be 0 ... 3600 s");
    note.note = static_cast<int>(values[0]);
    note.velocity = static_cast<int>(values[1]);
    note.start = values[2];
    note.duration = values[3];
    return note;
}

double ParseLength(const std::string& text)
{
    if (Lower(Trim(text)) == "auto")
        return -1.0;
    double seconds = 0.0;
    if (!ParseNumber(text, &seconds) || seconds <= 0.0 || seconds > 3600.0)
        throw UsageError("--length '" + text + "': expected 'auto' or seconds, more than 0 and at most 3600");
    return seconds;
}

void CheckRequest(const RenderRequest& request)
{
    const double rate = request.rate;
    if (!std::isfinite(rate) || rate != std::floor(rate) || rate < kMinRate || rate > kMaxRate)
        throw UsageError("--rate: expected a whole number of Hz, " + std::to_string(kMinRate) +
                         " ... " + std::to_string(kMaxRate));
    if (request.lengthSeconds > 0 && request.lengthSeconds * rate < 1.0)
        throw UsageError("--length: shorter than one frame at this rate");
}

unsigned ClockSeed()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}
