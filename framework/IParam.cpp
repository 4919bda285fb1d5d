#include "IParam.h"

#include "PortableMath.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void CopyCut(char* dest, const char* src, int capacity)
{
    if (capacity <= 0)
        return;
    std::snprintf(dest, static_cast<size_t>(capacity), "%s", src ? src : "");
}

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

double FromNormalizedParam(double normalized, double min, double max, double shape)
{
    return min + bf_pow(normalized, shape) * (max - min);
}

double ToNormalizedParam(double value, double min, double max, double shape)
{
    return bf_pow((value - min) / (max - min), 1.0 / shape);
}

double DBToAmp(double dB)
{
    return bf_exp(dB * 0.1151292546497);
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group)
{
    if (mType == kTypeNone)
        mType = kTypeBool;
    InitEnum(name, defaultVal ? 1 : 0, 2, label, group);
    SetDisplayText(0, "off");
    SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label,
                      const char* group)
{
    if (mType == kTypeNone)
        mType = kTypeEnum;
    InitInt(name, defaultVal, 0, nEnums - 1, label, group);
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group)
{
    if (mType == kTypeNone)
        mType = kTypeInt;
    InitDouble(name, defaultVal, minVal, maxVal, 1.0, label, group);
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal,
                        double step, const char* label, const char* group, double shape)
{
    if (mType == kTypeNone)
        mType = kTypeDouble;
    CopyCut(mName, name, kTextSize);
    CopyCut(mLabel, label, kTextSize);
    CopyCut(mParamGroup, group, kTextSize);
    mValue = defaultVal;
    mMin = minVal;
    // The range is at least one step wide, so normalising never divides by 0.
    mMax = minVal + step > maxVal ? minVal + step : maxVal;
    mStep = step;
    mDefault = defaultVal;
    for (mDisplayPrecision = 0; mDisplayPrecision < 6 && step != std::floor(step);
         ++mDisplayPrecision)
        step *= 10.0;
    SetShape(shape);
}

void IParam::SetShape(double shape)
{
    if (shape != 0.0)
        mShape = shape;
}

void IParam::SetDisplayText(int value, const char* text)
{
    DisplayText record{};
    record.mValue = value;
    CopyCut(record.mText, text, kTextSize);
    mDisplayTexts.Add(record);
}

// A non-finite value never becomes the parameter's value: NaN would pass every
// range comparison and poison the engine.
void IParam::Set(double value)
{
    if (!std::isfinite(value))
        return;
    mValue = value < mMin ? mMin : (value > mMax ? mMax : value);
}

void IParam::SetAsPlayed(double value)
{
    Set(value);
    if (mType == kTypeDouble || mType == kTypeNone)
        return;
    // + 0.0 turns the -0 of a small negative fraction into 0; a value already
    // whole (-0 included) keeps its bytes.
    const double played = mType == kTypeBool ? (Bool() ? 1.0 : 0.0) : std::trunc(mValue) + 0.0;
    if (played != mValue)
        mValue = played;
}

double IParam::AsShownByHost(double value) const
{
    if (!TakesWholeNumbers() || !std::isfinite(value))
        return value;
    return std::floor(value + 0.5);
}

void IParam::SetNormalized(double normalized)
{
    if (!std::isfinite(normalized))
        return;
    double value = FromNormalizedParam(normalized, mMin, mMax, mShape);
    if (mType != kTypeDouble)
        value = std::floor(0.5 + value / mStep) * mStep;
    value = std::fmin(value, mMax);
    if (std::isfinite(value))
        mValue = value;
}

double IParam::GetNormalized(double value) const
{
    const double held = value < mMin ? mMin : (value > mMax ? mMax : value);
    return ToNormalizedParam(held, mMin, mMax, mShape);
}

void IParam::GetBounds(double* lo, double* hi) const
{
    *lo = mMin;
    *hi = mMax;
}

double IParam::DBToAmp() const
{
    return ::DBToAmp(mValue);
}

const char* IParam::GetLabelForHost() const
{
    const char* displayText = GetDisplayText(TruncateToInt(mValue));
    return displayText[0] ? "" : mLabel;
}

const char* IParam::GetDisplayText(int value) const
{
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
    {
        if (mDisplayTexts.Get()[i].mValue == value)
            return mDisplayTexts.Get()[i].mText;
    }
    return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* value) const
{
    if (idx < 0 || idx >= mDisplayTexts.GetSize())
        return "";
    const DisplayText& record = mDisplayTexts.Get()[idx];
    if (value)
        *value = record.mValue;
    return record.mText;
}

bool IParam::MapDisplayText(const char* text, int* value) const
{
    for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
    {
        if (std::strcmp(mDisplayTexts.Get()[i].mText, text) == 0)
        {
            *value = mDisplayTexts.Get()[i].mValue;
            return true;
        }
    }
    return false;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* text, bool withDisplayText,
                               int capacity) const
{
    if (capacity <= 0)
        return;
    if (normalized)
        value = FromNormalizedParam(value, mMin, mMax, mShape);
    if (withDisplayText)
    {
        const char* displayText = GetDisplayText(TruncateToInt(value));
        if (displayText[0])
        {
            CopyCut(text, displayText, capacity);
            return;
        }
    }
    if (mNegateDisplay)
        value = -value;
    const size_t size = static_cast<size_t>(capacity);
    if (mDisplayPrecision > 0)
        std::snprintf(text, size, "%.*f", mDisplayPrecision, value);
    else
        std::snprintf(text, size, "%d", TruncateToInt(value));
}
