// Pixel arithmetic of one-channel planes and the constant addition of
// 3-channel pictures: plain row loops, written for the vectoriser (this file
// is built at -O3), so each inner loop is branch-free over one row.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "ipp.h"
#include "ipp_checks.h"
#include "kernels.h"

namespace {

template <typename T>
T* Row(T* base, int step, int r) {
    using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) +
                                static_cast<std::ptrdiff_t>(r) * step);
}

// Rows of floats must start on a float boundary; an odd step would make every
// other row a misaligned access.
IppStatus FloatStep(int step) {
    return step % static_cast<int>(sizeof(Ipp32f)) == 0 ? ippStsNoErr : ippStsStepErr;
}

}  // namespace

IppStatus ippiConvert_8u32f_C1R(const Ipp8u* pSrc, int srcStep, Ipp32f* pDst, int dstStep,
                                IppiSize roi) {
    if (pSrc == nullptr || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 1, dstStep, sizeof(Ipp32f));
        s != ippStsNoErr)
        return s;
    if (IppStatus s = FloatStep(dstStep); s != ippStsNoErr)
        return s;
    if (ipp_kernels::HaveAvx2()) {
        ipp_kernels::ConvertAvx2(pSrc, srcStep, pDst, dstStep, roi.width, roi.height);
        return ippStsNoErr;
    }
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = Row(pSrc, srcStep, r);
        Ipp32f* dst = Row(pDst, dstStep, r);
        for (int x = 0; x < roi.width; ++x) dst[x] = src[x];
    }
    return ippStsNoErr;
}

namespace {

// Adding 2^23 to a float in 0..255 leaves no fraction bits, so the addition
// rounds it to an integer in the processor's rounding mode, to nearest with
// ties to even, exactly as the vector kernel's conversion does; taking 2^23
// away again is exact. The same with 2^52 for doubles.
constexpr float kRoundFloat = 0x1p23f;
constexpr double kRoundDouble = 0x1p52;

// Values 0..255 as they are: clamped (NaN to 0) and rounded. From pixel
// `from` on, which the vector kernel may have reached.
void ScaleRowPlain(const Ipp32f* src, Ipp8u* dst, int from, int width) {
    for (int x = from; x < width; ++x) {
        float v = src[x];
        v = v > 0.0f ? v : 0.0f;
        v = v < 255.0f ? v : 255.0f;
        dst[x] = static_cast<Ipp8u>(static_cast<int>((v + kRoundFloat) - kRoundFloat));
    }
}

// Any other range, in double: (v - vMin) is exact there, and the product with
// the scale is rounded once before the rounding to an integer.
void ScaleRowMapped(const Ipp32f* src, Ipp8u* dst, int width, double low, double scale) {
    for (int x = 0; x < width; ++x) {
        double v = (src[x] - low) * scale;
        v = v > 0.0 ? v : 0.0;
        v = v < 255.0 ? v : 255.0;
        dst[x] = static_cast<Ipp8u>(static_cast<int>((v + kRoundDouble) - kRoundDouble));
    }
}

}  // namespace

// With the range 0..255 the map is the identity and each value is rounded as
// it is; a NaN is not above 0 and becomes 0.
IppStatus ippiScale_32f8u_C1R(const Ipp32f* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                              IppiSize roi, Ipp32f vMin, Ipp32f vMax) {
    if (pSrc == nullptr || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, sizeof(Ipp32f), dstStep, 1);
        s != ippStsNoErr)
        return s;
    if (IppStatus s = FloatStep(srcStep); s != ippStsNoErr)
        return s;
    if (!std::isfinite(vMin) || !std::isfinite(vMax) || !(vMax > vMin))
        return ippStsScaleRangeErr;
    if (vMin == 0.0f && vMax == 255.0f) {
        const bool vector = ipp_kernels::HaveAvx2();
        for (int r = 0; r < roi.height; ++r) {
            const Ipp32f* src = Row(pSrc, srcStep, r);
            Ipp8u* dst = Row(pDst, dstStep, r);
            const int done = vector ? ipp_kernels::ScaleRowPlainAvx2(src, dst, roi.width) : 0;
            ScaleRowPlain(src, dst, done, roi.width);
        }
        return ippStsNoErr;
    }
    const double low = vMin;
    const double scale = 255.0 / (static_cast<double>(vMax) - low);
    for (int r = 0; r < roi.height; ++r)
        ScaleRowMapped(Row(pSrc, srcStep, r), Row(pDst, dstStep, r), roi.width, low, scale);
    return ippStsNoErr;
}

IppStatus ippiAbsDiff_8u_C1R(const Ipp8u* pSrc1, int src1Step, const Ipp8u* pSrc2, int src2Step,
                             Ipp8u* pDst, int dstStep, IppiSize roi) {
    if (pSrc1 == nullptr || pSrc2 == nullptr || pDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, src1Step, 1, src2Step, 1); s != ippStsNoErr)
        return s;
    if (IppStatus s = ipp_checks::Region(roi, dstStep, 1); s != ippStsNoErr)
        return s;
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* a = Row(pSrc1, src1Step, r);
        const Ipp8u* b = Row(pSrc2, src2Step, r);
        Ipp8u* dst = Row(pDst, dstStep, r);
        for (int x = 0; x < roi.width; ++x)
            dst[x] = static_cast<Ipp8u>(a[x] > b[x] ? a[x] - b[x] : b[x] - a[x]);
    }
    return ippStsNoErr;
}

// With thresholdLT above thresholdGT a value can be both below the one and
// above the other; the lower threshold is tested first and wins.
IppStatus ippiThreshold_LTValGTVal_8u_C1IR(Ipp8u* pSrcDst, int srcDstStep, IppiSize roi,
                                           Ipp8u thresholdLT, Ipp8u valueLT, Ipp8u thresholdGT,
                                           Ipp8u valueGT) {
    if (pSrcDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcDstStep, 1); s != ippStsNoErr)
        return s;
    for (int r = 0; r < roi.height; ++r) {
        Ipp8u* p = Row(pSrcDst, srcDstStep, r);
        for (int x = 0; x < roi.width; ++x) {
            const Ipp8u v = p[x];
            p[x] = v < thresholdLT ? valueLT : v > thresholdGT ? valueGT : v;
        }
    }
    return ippStsNoErr;
}

IppStatus ippiAddWeighted_8u32f_C1IR(const Ipp8u* pSrc, int srcStep, Ipp32f* pSrcDst,
                                     int srcDstStep, IppiSize roi, Ipp32f alpha) {
    if (pSrc == nullptr || pSrcDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 1, srcDstStep, sizeof(Ipp32f));
        s != ippStsNoErr)
        return s;
    if (IppStatus s = FloatStep(srcDstStep); s != ippStsNoErr)
        return s;
    const Ipp32f keep = 1.0f - alpha;
    const bool vector = ipp_kernels::HaveAvx2();
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = Row(pSrc, srcStep, r);
        Ipp32f* acc = Row(pSrcDst, srcDstStep, r);
        const int done =
            vector ? ipp_kernels::AddWeightedRowAvx2(src, acc, roi.width, keep, alpha) : 0;
        for (int x = done; x < roi.width; ++x)
            acc[x] = keep * acc[x] + alpha * static_cast<Ipp32f>(src[x]);
    }
    return ippStsNoErr;
}

// An empty range (lowerBound above upperBound) counts 0. The total is kept in
// 64 bits; one that no int can hold is a size error, with *counts untouched.
IppStatus ippiCountInRange_8u_C1R(const Ipp8u* pSrc, int srcStep, IppiSize roi, int* counts,
                                  Ipp8u lowerBound, Ipp8u upperBound) {
    if (pSrc == nullptr || counts == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcStep, 1); s != ippStsNoErr)
        return s;
    std::int64_t total = 0;
    for (int r = 0; r < roi.height; ++r) {
        const Ipp8u* src = Row(pSrc, srcStep, r);
        int n = 0;
        for (int x = 0; x < roi.width; ++x) n += (src[x] >= lowerBound) & (src[x] <= upperBound);
        total += n;
    }
    if (total > std::numeric_limits<int>::max())
        return ippStsSizeErr;
    *counts = static_cast<int>(total);
    return ippStsNoErr;
}

namespace {

// Beyond these shifts the result no longer changes: a sum of two bytes
// (at most 510) divided by 2^10 rounds to 0, multiplied by 2^9 saturates.
constexpr int kMaxDownShift = 10;
constexpr int kMaxUpShift = 9;

struct Shifts {
    int down, up;
    int halfLess1;  // 2^(down - 1) - 1, or 0
    int tieBit;     // 1 when bits are shifted out, else 0
};

// (sample + constant) / 2^down * 2^up, rounded to nearest with ties to even,
// saturated. Adding half - 1 rounds every remainder but an exact half; the
// quotient's lowest bit then decides the tie.
inline Ipp8u ScaledAdd(int sample, int constant, Shifts s) {
    const int sum = sample + constant;
    const int odd = (sum >> s.down) & s.tieBit;
    const int v = ((sum + s.halfLess1 + odd) >> s.down) << s.up;
    return static_cast<Ipp8u>(v < 255 ? v : 255);
}

// Kept out of interprocedural analysis on purpose: once GCC 12 knows the
// clamped shift ranges it narrows the arithmetic and gives up vectorising.
[[gnu::noipa]] void AddRow(Ipp8u* p, int width, const int c[3], Shifts s) {
    const int c0 = c[0], c1 = c[1], c2 = c[2];
    for (int x = 0; x < width; ++x) {
        p[3 * x] = ScaledAdd(p[3 * x], c0, s);
        p[3 * x + 1] = ScaledAdd(p[3 * x + 1], c1, s);
        p[3 * x + 2] = ScaledAdd(p[3 * x + 2], c2, s);
    }
}

}  // namespace

// Any scale factor is accepted: a negative one multiplies by 2^-scaleFactor.
IppStatus ippiAddC_8u_C3IRSfs(const Ipp8u value[3], Ipp8u* pSrcDst, int srcDstStep, IppiSize roi,
                              int scaleFactor) {
    if (value == nullptr || pSrcDst == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = ipp_checks::Region(roi, srcDstStep, 3); s != ippStsNoErr)
        return s;
    // Clamped before negating, which INT_MIN would overflow.
    const int scale = std::clamp(scaleFactor, -kMaxUpShift, kMaxDownShift);
    Shifts shifts{};
    shifts.down = std::max(scale, 0);
    shifts.up = std::max(-scale, 0);
    shifts.halfLess1 = shifts.down > 0 ? (1 << (shifts.down - 1)) - 1 : 0;
    shifts.tieBit = shifts.down > 0 ? 1 : 0;
    const int c[3] = {value[0], value[1], value[2]};
    for (int r = 0; r < roi.height; ++r) AddRow(Row(pSrcDst, srcDstStep, r), roi.width, c, shifts);
    return ippStsNoErr;
}
