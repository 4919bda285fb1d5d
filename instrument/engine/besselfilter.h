#pragma once

// Eighth-order Bessel low-pass for the oversampling path: the design (nine
// coefficients of an all-pole recursion) and one running stage.
class KIT_BesselFilterCoeffs
{
public:
    struct complex
    {
        double re = 0.0;
        double im = 0.0;
    };

    static const int kOrder = 8;
    static const int kNumCoeffs = kOrder + 1;
    static const int kNumPoles = 30;
    // Left-half-plane Bessel poles for orders 1 ... 10, -3 dB at 1 rad/s, one of
    // each conjugate pair (the real pole of odd orders first), order after order.
    static const complex mPoles[kNumPoles];

    // Designs the low-pass for a cutoff of alpha times the sampling rate,
    // 1e-37 <= alpha < 0.5.
    void Calc(double alpha);
    const double* Coeffs() const { return mCoeffs; }

    complex exp(const complex& c) const;
    complex multiply(double scale, const complex& c) const;
    complex multiply(const complex& a, const complex& b) const;
    complex add(const complex& a, const complex& b) const;
    complex minus(const complex& c) const;
    complex conjugate(const complex& c) const;
    complex inverse(const complex& c) const;

private:
    double mCoeffs[kNumCoeffs] = {};
};

class KIT_BesselFilterStage
{
public:
    void Reset();
    // y[n] = c0 x[n] + c1 y[n-1] + ... + c8 y[n-8], flushed when tiny.
    void Process(double input, const double* coefficients);
    double Output() const { return mState[0]; }
    // Zeroes the state when every value is below the threshold in magnitude: the
    // recursion's rounding would otherwise keep a tiny limit cycle alive forever.
    void FlushIfBelow(double threshold);

private:
    double mState[KIT_BesselFilterCoeffs::kNumCoeffs] = {};
};
