#pragma once

#include "KIT_TypedBuf.h"

// Truncates toward zero; values beyond the int range are held to it, NaN gives 0.
int TruncateToInt(double value);

// One automatable parameter: kind, value in real units, range, step, shape and
// the texts hosts and the editor show for it.
class IParam
{
public:
    enum EParamType
    {
        kTypeNone = 0,
        kTypeBool,
        kTypeInt,
        kTypeEnum,
        kTypeDouble
    };

    static const int kTextSize = 32; // names, labels, groups and display texts
    // The fixed buffers hosts and controls pass to the display functions.
    static const int kDisplaySize = 32;

    struct DisplayText
    {
        int mValue;
        char mText[kTextSize];
    };

    void InitBool(const char* name, bool defaultVal, const char* label = "",
                  const char* group = "");
    void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "",
                  const char* group = "");
    void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
                 const char* group = "");
    void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                    const char* label = "", const char* group = "", double shape = 1.0);

    void SetShape(double shape);
    void SetDisplayText(int value, const char* text);
    void SetIsMeta(bool meta) { mIsMeta = meta; }
    void NegateDisplay() { mNegateDisplay = true; }
    void SetCanAutomate(bool canAutomate) { mCanAutomate = canAutomate; }

    EParamType Type() const { return mType; }
    // Bools, integers and lists: what plays is a whole number.
    bool TakesWholeNumbers() const { return mType != kTypeDouble && mType != kTypeNone; }
    double Value() const { return mValue; }
    int Int() const { return TruncateToInt(mValue); }
    bool Bool() const { return mValue >= 0.5; }
    double GetDefault() const { return mDefault; }
    double GetShape() const { return mShape; }
    double GetStep() const { return mStep; }
    int GetPrecision() const { return mDisplayPrecision; }

    // Holds the value to the range; keeps fractions of every kind.
    void Set(double value);
    // What every door from outside calls: Set, then a whole-number kind keeps
    // the whole value it plays as (Int truncates, Bool is at least 0.5), so a
    // stored state and what is heard agree. Allocation- and lock-free.
    void SetAsPlayed(double value);
    // A host's value as the host shows it: a whole-number kind's nearest
    // whole number, a half up (as normalised values round), so automation a
    // hair off a whole number plays that number; other kinds as given. For
    // the doors a host's single-precision value comes through, before
    // SetAsPlayed; stored states keep SetAsPlayed's rule.
    double AsShownByHost(double value) const;
    void SetNormalized(double normalized);
    double GetNormalized() const { return GetNormalized(mValue); }
    double GetNormalized(double value) const;
    void GetBounds(double* lo, double* hi) const;
    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double DBToAmp() const;

    const char* GetNameForHost() const { return mName; }
    const char* GetLabelForHost() const;
    const char* GetParamGroupForHost() const { return mParamGroup; }
    const char* GetDisplayText(int value) const;
    int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
    const char* GetDisplayTextAtIdx(int idx, int* value = nullptr) const;
    bool MapDisplayText(const char* text, int* value) const;
    bool DisplayIsNegated() const { return mNegateDisplay; }
    bool GetCanAutomate() const { return mCanAutomate; }
    bool GetIsMeta() const { return mIsMeta; }

    // The text is written into a buffer of `capacity` bytes and cut to fit.
    void GetDisplayForHost(char* text, int capacity = kDisplaySize) const
    {
        GetDisplayForHost(mValue, false, text, true, capacity);
    }
    void GetDisplayForHostNoDisplayText(char* text, int capacity = kDisplaySize) const
    {
        GetDisplayForHost(mValue, false, text, false, capacity);
    }
    void GetDisplayForHost(double value, bool normalized, char* text, bool withDisplayText = true,
                           int capacity = kDisplaySize) const;

private:
    EParamType mType = kTypeNone;
    double mValue = 0.0;
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mShape = 1.0;
    double mDefault = 0.0;
    int mDisplayPrecision = 0;
    char mName[kTextSize] = "";
    char mLabel[kTextSize] = "";
    char mParamGroup[kTextSize] = "";
    bool mNegateDisplay = false;
    bool mCanAutomate = true;
    bool mIsMeta = false;
    KIT_TypedBuf<DisplayText> mDisplayTexts;
};

double FromNormalizedParam(double normalized, double min, double max, double shape);
double ToNormalizedParam(double value, double min, double max, double shape);
double DBToAmp(double dB);

// Copies text into a fixed buffer, cut to capacity - 1 characters.
void CopyCut(char* dest, const char* src, int capacity);
