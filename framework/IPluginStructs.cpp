#include "IPluginStructs.h"

#include "KIT_Assert.h"

#include <algorithm>
#include <cmath>

namespace
{

// Truncates toward zero after holding the value to +-limit; NaN gives 0.
int truncateWithin(double value, double limit)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::max(-limit, std::min(limit, value)));
}

} // namespace

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel)
{
    Clear();
    mStatus = static_cast<uint8_t>(0x90 | channel);
    mData1 = static_cast<uint8_t>(noteNumber);
    mData2 = static_cast<uint8_t>(velocity);
    mOffset = offset;
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel)
{
    Clear();
    mStatus = static_cast<uint8_t>(0x80 | channel);
    mData1 = static_cast<uint8_t>(noteNumber);
    mOffset = offset;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel)
{
    Clear();
    mStatus = static_cast<uint8_t>(0xE0 | channel);
    int i = 8192 + truncateWithin(value * 8192.0, 16384.0);
    i = i < 0 ? 0 : (i > 16383 ? 16383 : i);
    mData1 = static_cast<uint8_t>(i & 127);
    mData2 = static_cast<uint8_t>(i >> 7);
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel)
{
    Clear();
    mStatus = static_cast<uint8_t>(0xB0 | channel);
    mData1 = static_cast<uint8_t>(idx);
    // Not held to 0 ... 127: out-of-range values wrap in the byte as they always have.
    mData2 = static_cast<uint8_t>(truncateWithin(value * 127.0, 1e9));
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const
{
    const int kind = mStatus >> 4;
    return kind >= kNoteOff && kind <= kPitchWheel ? static_cast<EStatusMsg>(kind) : kNone;
}

int IMidiMsg::NoteNumber() const
{
    switch (StatusMsg())
    {
    case kNoteOff:
    case kNoteOn:
    case kPolyAftertouch:
        return mData1;
    default:
        return -1;
    }
}

int IMidiMsg::Velocity() const
{
    const EStatusMsg kind = StatusMsg();
    return kind == kNoteOn || kind == kNoteOff ? mData2 : -1;
}

int IMidiMsg::PolyAfterTouch() const
{
    return StatusMsg() == kPolyAftertouch ? mData2 : -1;
}

int IMidiMsg::ChannelAfterTouch() const
{
    return StatusMsg() == kChannelAftertouch ? mData1 : -1;
}

int IMidiMsg::Program() const
{
    return StatusMsg() == kProgramChange ? mData1 : -1;
}

double IMidiMsg::PitchWheel() const
{
    if (StatusMsg() != kPitchWheel)
        return 0.0;
    return (mData2 * 128 + mData1 - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const
{
    if (StatusMsg() == kControlChange && ControlChangeIdx() == idx)
        return mData2 / 127.0;
    return -1.0;
}

const char* StatusMsgStr(IMidiMsg::EStatusMsg msg)
{
    switch (msg)
    {
    case IMidiMsg::kNone:
        return "none";
    case IMidiMsg::kNoteOff:
        return "noteoff";
    case IMidiMsg::kNoteOn:
        return "noteon";
    case IMidiMsg::kPolyAftertouch:
        return "aftertouch";
    case IMidiMsg::kControlChange:
        return "controlchange";
    case IMidiMsg::kProgramChange:
        return "programchange";
    case IMidiMsg::kChannelAftertouch:
        return "channelaftertouch";
    case IMidiMsg::kPitchWheel:
        return "pitchwheel";
    default:
        return "unknown";
    }
}

char* SysExStr(char* str, int maxlen, const uint8_t* data, int size)
{
    KIT_ASSERT(str != NULL && maxlen >= 3);
    if (!data || size <= 0)
    {
        str[0] = '\0';
        return str;
    }
    static const char kHexDigits[] = "0123456789ABCDEF";
    const int count = std::min(size, maxlen / 3);
    for (int i = 0; i < count; ++i)
    {
        str[3 * i] = kHexDigits[data[i] >> 4];
        str[3 * i + 1] = kHexDigits[data[i] & 0x0F];
        str[3 * i + 2] = ' ';
    }
    str[3 * count - 1] = '\0'; // in place of the last blank
    return str;
}
