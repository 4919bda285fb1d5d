#pragma once

#include "RandomSource.h"

#include <cmath>

// Pitch, interpolation, clamp, decibel, shape and random helpers of the engine.
// The pitch functions use the approximate fastPow on purpose: every stored sound
// is tuned by it.
namespace qxDSP
{

double fastPow(double a, double b);
double MIDItoHz(int note);
double CentsToHerz(double freq, double cents);
double lerp(double a, double b, double t);
double clamp(double x, double lo, double hi);
double lin2dB(double x);
double CalcShapeValue(double a, double b, double c);
// One draw, 0 ... 1.0000000004656613: the divisor is one less than the top draw.
double rand01(RandomSource& source);
// The output stage's compression: the magnitude raised to the exponent, the
// sign kept. pow(x, 1) is x, so the usual exponent of 1 skips the two calls.
inline double compress(double x, double exponent)
{
    if (exponent == 1.0)
        return x;
    return x > 0.0 ? std::pow(x, exponent) : -std::pow(-x, exponent);
}
// Truncated toward zero and held to the int range; NaN gives 0.
int heldToInt(double x);

} // namespace qxDSP

// One-pole smoother of parameter changes; approaches a constant input as
// x * (1 - 0.99^n) after n calls.
class CParamSmooth
{
public:
    CParamSmooth() : a(0.99), b(1.0 - a), z(0.0) {}
    double operator()(double x)
    {
        z = x * b + z * a;
        return z;
    }

private:
    double a;
    double b;
    double z;
};
