#pragma once

#include <cstdint>

// One short MIDI message with its sample offset inside the processing block.
struct IMidiMsg
{
    enum EStatusMsg
    {
        kNone = 0,
        kNoteOff = 8,
        kNoteOn = 9,
        kPolyAftertouch = 10,
        kControlChange = 11,
        kProgramChange = 12,
        kChannelAftertouch = 13,
        kPitchWheel = 14
    };

    // A controller number, data 1 of a control change.
    enum EControlChangeMsg : int
    {
        kModWheel = 1,
        kBreathController = 2,
        kFootController = 4,
        kChannelVolume = 7,
        kPan = 10,
        kExpressionController = 11,
        kSustainOnOff = 64,
        kAllNotesOff = 123
    };

    int32_t mOffset = 0;
    uint8_t mStatus = 0;
    uint8_t mData1 = 0;
    uint8_t mData2 = 0;

    IMidiMsg() = default;
    IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
        : mOffset(offset), mStatus(status), mData1(data1), mData2(data2)
    {
    }

    void Clear() { *this = IMidiMsg(); }

    // Builders clear the record first; the channel is OR-ed in unmasked.
    void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
    void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
    void MakePitchWheelMsg(double value, int channel = 0);
    void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);

    int Channel() const { return mStatus & 0x0F; }
    EStatusMsg StatusMsg() const;
    int NoteNumber() const;
    int Velocity() const;
    int PolyAfterTouch() const;
    int ChannelAfterTouch() const;
    int Program() const;
    double PitchWheel() const;
    EControlChangeMsg ControlChangeIdx() const { return static_cast<EControlChangeMsg>(mData1); }
    double ControlChange(EControlChangeMsg idx) const;

    void LogMsg() const {} // tracing is off
};

static_assert(sizeof(IMidiMsg) == 8, "a MIDI record is 8 bytes");

// One system-exclusive message; the bytes belong to the caller.
struct ISysEx
{
    int32_t mOffset = 0;
    const uint8_t* mData = nullptr;
    int32_t mSize = 0;

    ISysEx() = default;
    ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mData(data), mSize(size) {}
    void Clear() { *this = ISysEx(); }
    void LogMsg() const {}
};

// The host's transport as last learned; -1 means not known.
struct ITimeInfo
{
    double mTempo = 120.0;
    double mSamplePos = -1.0;
    double mPPQPos = -1.0;
    double mLastBar = -1.0;
    double mCycleStart = -1.0;
    double mCycleEnd = -1.0;
    int mNumerator = 4;
    int mDenominator = 4;
    bool mTransportIsRunning = false;
    bool mTransportLoopEnabled = false;
};

struct IColor
{
    int A = 0, R = 0, G = 0, B = 0;
    IColor() = default;
    IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
    bool operator==(const IColor& other) const
    {
        return A == other.A && R == other.R && G == other.G && B == other.B;
    }
    bool operator!=(const IColor& other) const { return !(*this == other); }
};

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
const IColor COLOR_BLACK(255, 0, 0, 0);
const IColor COLOR_GRAY(255, 127, 127, 127);
const IColor COLOR_WHITE(255, 255, 255, 255);
const IColor COLOR_RED(255, 255, 0, 0);
const IColor COLOR_GREEN(255, 0, 255, 0);
const IColor COLOR_BLUE(255, 0, 0, 255);
const IColor COLOR_YELLOW(255, 255, 255, 0);
const IColor COLOR_ORANGE(255, 255, 127, 0);

const char* StatusMsgStr(IMidiMsg::EStatusMsg msg);

// Upper-case hexadecimal pairs separated by blanks, at most maxlen / 3 bytes.
char* SysExStr(char* str, int maxlen, const uint8_t* data, int size);
