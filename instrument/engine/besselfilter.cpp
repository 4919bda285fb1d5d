#include "besselfilter.h"

#include "KIT_Assert.h"
#include "PortableMath.h"
#include "denormal.h"

#include <cmath>

namespace
{
const double kTwoPi = 6.283185307179586;
const int kFirstPoleOfOrder8 = 16;
} // namespace

const KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::mPoles[kNumPoles] = {
    {-0.9999999999999998, 0.0},
    {-1.1016013305921748, 0.636009824757042},
    {-1.3226757999104448, 0.0},
    {-1.0474091610089354, 0.99926443628063758},
    {-1.3700678305514442, 0.41024971749375206},
    {-0.99520876435027351, 1.2571057394546661},
    {-1.502316271447479, 0.0},
    {-1.3808773258604396, 0.71790958762676845},
    {-0.95767654856268193, 1.4711243207303951},
    {-1.5714904036160308, 0.32089637422262373},
    {-1.3818580975965634, 0.97147189071157097},
    {-0.93065652294685864, 1.6618632689425906},
    {-1.6843681792731802, 0.0},
    {-1.6120387662261242, 0.58924450693147147},
    {-1.3789032167954738, 1.191566777800652},
    {-0.90986778062346975, 1.8364513530363928},
    {-1.7574084004017807, 0.272867575102548},
    {-1.636939418126819, 0.8227956251396226},
    {-1.3738412176373478, 1.3883565758775174},
    {-0.8928697188471307, 1.9983258436412903},
    {-1.8566005012280035, 0.0},
    {-1.8071705349621011, 0.512383730574904},
    {-1.652396484578835, 1.0313895669844106},
    {-1.3675883097929052, 1.5677337122372687},
    {-0.87839927616095252, 2.1498005243133215},
    {-1.9276196913722768, 0.24162347097153324},
    {-1.8421962445248345, 0.727257597757478},
    {-1.661810241362152, 1.2211002185791613},
    {-1.360692278384544, 1.7335057426614762},
    {-0.8657569017089488, 2.2926048309837426},
};

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::exp(const complex& c) const
{
    const double magnitude = bf_exp(c.re);
    return {magnitude * bf_cos(c.im), magnitude * bf_sin(c.im)};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::multiply(double scale,
                                                                 const complex& c) const
{
    return {scale * c.re, scale * c.im};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::multiply(const complex& a,
                                                                 const complex& b) const
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::add(const complex& a,
                                                            const complex& b) const
{
    return {a.re + b.re, a.im + b.im};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::minus(const complex& c) const
{
    return {-c.re, -c.im};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::conjugate(const complex& c) const
{
    return {c.re, -c.im};
}

KIT_BesselFilterCoeffs::complex KIT_BesselFilterCoeffs::inverse(const complex& c) const
{
    const double norm = c.re * c.re + c.im * c.im;
    return {c.re / norm, -c.im / norm};
}

void KIT_BesselFilterCoeffs::Calc(double alpha)
{
    KIT_ASSERT(alpha >= 1e-37 && alpha < 0.5);
    const double w = kTwoPi * alpha;

    // Matched-z mapping of the analog poles.
    complex poles[kOrder];
    for (int k = 0; k < kOrder / 2; ++k)
    {
        const complex& q = mPoles[kFirstPoleOfOrder8 + k];
        poles[2 * k] = exp(multiply(w, q));
        poles[2 * k + 1] = exp(multiply(w, conjugate(q)));
    }

    // The product of (z - p) over all poles.
    complex coeffs[kNumCoeffs];
    coeffs[0] = {1.0, 0.0};
    for (const complex& p : poles)
    {
        const complex m = minus(p);
        for (int j = kOrder; j >= 1; --j)
            coeffs[j] = add(multiply(coeffs[j], m), coeffs[j - 1]);
        coeffs[0] = multiply(coeffs[0], m);
    }
    for (int n = 0; n < kNumCoeffs; ++n)
        KIT_ASSERT(fabs(coeffs[n].im) <= 1e-10);

    // Unity gain at 0 Hz.
    complex sum = coeffs[kOrder];
    for (int j = kOrder - 1; j >= 0; --j)
        sum = add(sum, coeffs[j]);
    const complex inverseSum = inverse(sum);
    mCoeffs[0] = 1.0 / bf_hypot(inverseSum.re, inverseSum.im);
    for (int i = 1; i < kNumCoeffs; ++i)
        mCoeffs[i] = -coeffs[kOrder - i].re / coeffs[kOrder].re;
}

void KIT_BesselFilterStage::Reset()
{
    for (double& s : mState)
        s = 0.0;
}

void KIT_BesselFilterStage::Process(double input, const double* c)
{
    for (int i = KIT_BesselFilterCoeffs::kOrder; i >= 1; --i)
        mState[i] = mState[i - 1];
    double y = c[0] * input;
    for (int i = 1; i < KIT_BesselFilterCoeffs::kNumCoeffs; ++i)
        y += c[i] * mState[i];
    denormal_fix_double_aggressive(&y);
    mState[0] = y;
}

void KIT_BesselFilterStage::FlushIfBelow(double threshold)
{
    for (double s : mState)
    {
        if (!(std::fabs(s) < threshold))
            return;
    }
    Reset();
}
