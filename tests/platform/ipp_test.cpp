// The image primitives against plain reference loops, on small pictures of
// odd widths whose rows carry padding that must survive every call, and their
// answers to bad arguments, which must leave all memory alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ipp/ipp.h"

namespace {

// Region sizes used throughout: odd widths, single rows and columns.
constexpr IppiSize kSizes[] = {{1, 1}, {7, 3}, {13, 5}, {33, 4}, {2, 7}, {8, 1}};

std::string Describe(IppiSize s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

// Every width from 1 to 70, with one to three rows: the per-frame primitives
// work wide rows in vector blocks and finish them one pixel at a time, so
// these reach every split between the two (and rows too narrow for a block).
std::vector<IppiSize> WidthSweep() {
    std::vector<IppiSize> sizes;
    for (int w = 1; w <= 70; ++w) sizes.push_back({w, 1 + w % 3});
    return sizes;
}

// Row padding for the sweeps: none, so the last row ends at the end of the
// buffer and a read or write past a row is one past the allocation, and some.
constexpr int kSweepPads[] = {0, 5};

// A picture of T samples whose rows are padElements longer than the region;
// the whole buffer starts out pseudo-random, padding included.
template <typename T>
struct Plane {
    Plane(IppiSize size, int channels, int padElements = 3, unsigned seed = 1)
        : width(size.width),
          height(size.height),
          channels(channels),
          stride(size.width * channels + padElements),
          data(static_cast<std::size_t>(stride) * size.height) {
        std::mt19937 random(seed);
        for (T& v : data) v = static_cast<T>(random() % 256);
    }

    int Step() const { return stride * static_cast<int>(sizeof(T)); }
    T* Data() { return data.data(); }
    T& At(int x, int y, int c = 0) {
        return data[static_cast<std::size_t>(y) * stride + x * channels + c];
    }
    T At(int x, int y, int c = 0) const {
        return data[static_cast<std::size_t>(y) * stride + x * channels + c];
    }

    int width, height, channels, stride;
    std::vector<T> data;
};

// Every element past the region in each row is as it was.
template <typename T>
void ExpectPaddingKept(const Plane<T>& before, const Plane<T>& after) {
    for (int y = 0; y < after.height; ++y)
        for (int i = after.width * after.channels; i < after.stride; ++i) {
            const std::size_t at = static_cast<std::size_t>(y) * after.stride + i;
            ASSERT_EQ(std::memcmp(&before.data[at], &after.data[at], sizeof(T)), 0)
                << "padding changed in row " << y << " at element " << i;
        }
}

Ipp8u Saturate(long double v) {
    return static_cast<Ipp8u>(v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v));
}

// Nearest, halves up, on an exact value.
Ipp8u RoundHalfUp(long double v) {
    return Saturate(std::floor(v + 0.5L));
}

// Nearest, ties to even, on an exact value.
Ipp8u RoundHalfEven(long double v) {
    return Saturate(std::nearbyint(v));
}

// ---------------------------------------------------------------------------
// Bad arguments, the same for every primitive with a source and a destination.

// A primitive called on harness-owned buffers: source, destination, steps, region.
using Call = std::function<IppStatus(Ipp8u* src, int srcStep, Ipp8u* dst, int dstStep, IppiSize)>;

struct Primitive {
    const char* name;
    Call call;
    int srcPixelBytes;
    // Bytes a destination row needs for a source region of the given width;
    // 0 when the destination has no step (in place, or a single count).
    std::function<int(int)> dstRowBytes;
    bool takesDestination = true;
};

std::function<int(int)> PerPixel(int bytes) {
    return [bytes](int width) { return width * bytes; };
}

std::vector<Primitive> Primitives() {
    static Ipp8u scratch[64];
    static const Ipp32f greyWeights[3] = {0.33f, 0.33f, 0.33f};
    static const Ipp8u tint[3] = {10, 20, 30};
    auto none = [](int) { return 0; };
    return {
        {"PyrDown",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiPyrDown_Gauss5x5_8u_C3R(s, ss, d, ds, r, scratch);
         },
         3, [](int w) { return 3 * (w / 2); }},
        {"PyrUp",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiPyrUp_Gauss5x5_8u_C3R(s, ss, d, ds, r, scratch);
         },
         3, [](int w) { return 6 * w; }},
        {"RGBToYUV",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             Ipp8u* planes[3] = {d, d + 512, d + 1024};
             return ippiRGBToYUV_8u_C3P3R(s, ss, d ? planes : nullptr, ds, r);
         },
         3, PerPixel(1)},
        {"Copy_C1R", ippiCopy_8u_C1R, 1, PerPixel(1)},
        {"Copy_P3C3R",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             const Ipp8u* planes[3] = {s, s + 512, s + 1024};
             return ippiCopy_8u_P3C3R(s ? planes : nullptr, ss, d, ds, r);
         },
         1, PerPixel(3)},
        {"Mirror",
         [](Ipp8u* s, int ss, Ipp8u*, int, IppiSize r) {
             return ippiMirror_8u_C3IR(s, ss, r, ippAxsVertical);
         },
         3, none, false},
        {"ColorToGray",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiColorToGray_8u_C3C1R(s, ss, d, ds, r, greyWeights);
         },
         3, PerPixel(1)},
        {"Convert",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiConvert_8u32f_C1R(s, ss, reinterpret_cast<Ipp32f*>(d), ds, r);
         },
         1, PerPixel(4)},
        {"Scale",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiScale_32f8u_C1R(reinterpret_cast<Ipp32f*>(s), ss, d, ds, r, 0.0f, 255.0f);
         },
         4, PerPixel(1)},
        {"AbsDiff",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiAbsDiff_8u_C1R(s, ss, s, ss, d, ds, r);
         },
         1, PerPixel(1)},
        {"AbsDiff second source",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiAbsDiff_8u_C1R(d, ds, s, ss, d, ds, r);
         },
         1, PerPixel(1)},
        {"Threshold",
         [](Ipp8u* s, int ss, Ipp8u*, int, IppiSize r) {
             return ippiThreshold_LTValGTVal_8u_C1IR(s, ss, r, 20, 0, 20, 255);
         },
         1, none, false},
        {"AddWeighted",
         [](Ipp8u* s, int ss, Ipp8u* d, int ds, IppiSize r) {
             return ippiAddWeighted_8u32f_C1IR(s, ss, reinterpret_cast<Ipp32f*>(d), ds, r, 0.1f);
         },
         1, PerPixel(4)},
        {"CountInRange",
         [](Ipp8u* s, int ss, Ipp8u* d, int, IppiSize r) {
             return ippiCountInRange_8u_C1R(s, ss, r, reinterpret_cast<int*>(d), 128, 255);
         },
         1, none},
        {"AddC",
         [](Ipp8u* s, int ss, Ipp8u*, int, IppiSize r) {
             return ippiAddC_8u_C3IRSfs(tint, s, ss, r, 1);
         },
         3, none, false},
    };
}

TEST(IppBadArguments, AreRefusedWithoutTouchingMemory) {
    // 4 x 3 region; each case differs from the valid call in one argument.
    constexpr IppiSize kRoi = {4, 3};
    struct Case {
        const char* what;
        bool nullSrc, nullDst;
        IppiSize roi;
        int srcStepDelta, dstStepDelta;
        IppStatus expected;
    };
    const Case cases[] = {
        {"valid", false, false, kRoi, 0, 0, ippStsNoErr},
        {"null source", true, false, kRoi, 0, 0, ippStsNullPtrErr},
        {"null destination", false, true, kRoi, 0, 0, ippStsNullPtrErr},
        {"zero width", false, false, {0, 3}, 0, 0, ippStsSizeErr},
        {"zero height", false, false, {4, 0}, 0, 0, ippStsSizeErr},
        {"negative width", false, false, {-4, 3}, 0, 0, ippStsSizeErr},
        {"negative height", false, false, {4, -1}, 0, 0, ippStsSizeErr},
        {"source step a byte short", false, false, kRoi, -1, 0, ippStsStepErr},
        {"source step negative", false, false, kRoi, -1000, 0, ippStsStepErr},
        {"destination step a byte short", false, false, kRoi, 0, -1, ippStsStepErr},
        {"destination step negative", false, false, kRoi, 0, -1000, ippStsStepErr},
    };
    for (const Primitive& p : Primitives()) {
        for (const Case& c : cases) {
            const int dstRow = p.dstRowBytes(kRoi.width);
            if ((c.nullDst && !p.takesDestination) || (c.dstStepDelta != 0 && dstRow == 0))
                continue;
            SCOPED_TRACE(std::string(p.name) + ": " + c.what);
            // Aligned for the float primitives; the guard pattern is what must survive.
            alignas(16) Ipp8u src[2048], dst[2048];
            std::memset(src, 0x5A, sizeof src);
            std::memset(dst, 0xA5, sizeof dst);
            // The least steps that hold a row of the region.
            const int srcStep = kRoi.width * p.srcPixelBytes + c.srcStepDelta;
            const int dstStep = dstRow + c.dstStepDelta;
            const IppStatus status = p.call(c.nullSrc ? nullptr : src, srcStep,
                                            c.nullDst ? nullptr : dst, dstStep, c.roi);
            EXPECT_EQ(status, c.expected);
            if (c.expected == ippStsNoErr)
                continue;
            for (Ipp8u b : src) ASSERT_EQ(b, 0x5A) << "source touched";
            for (Ipp8u b : dst) ASSERT_EQ(b, 0xA5) << "destination touched";
        }
    }
}

// ---------------------------------------------------------------------------
// Allocation

TEST(IppMalloc, GivesAlignedZeroedRowsAndItsStep) {
    struct Kind {
        const char* name;
        void* (*allocate)(int, int, int*);
        int pixelBytes;
    };
    const Kind kinds[] = {
        {"8u_C1", [](int w, int h, int* s) -> void* { return ippiMalloc_8u_C1(w, h, s); }, 1},
        {"8u_C3", [](int w, int h, int* s) -> void* { return ippiMalloc_8u_C3(w, h, s); }, 3},
        {"32f_C1", [](int w, int h, int* s) -> void* { return ippiMalloc_32f_C1(w, h, s); }, 4},
    };
    for (const Kind& k : kinds)
        for (IppiSize size : kSizes) {
            SCOPED_TRACE(std::string(k.name) + " " + Describe(size));
            int step = -1;
            auto* p = static_cast<Ipp8u*>(k.allocate(size.width, size.height, &step));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 32, 0u);
            EXPECT_EQ(step % 32, 0);
            EXPECT_GE(step, size.width * k.pixelBytes);
            EXPECT_LT(step, size.width * k.pixelBytes + 32);
            // The whole of every row, padding included, is zero and writable.
            for (int i = 0; i < step * size.height; ++i) ASSERT_EQ(p[i], 0) << "byte " << i;
            std::memset(p, 0xFF, static_cast<std::size_t>(step) * size.height);
            ippiFree(p);
        }
}

TEST(IppMalloc, RefusesBadSizesAndLeavesTheStepAlone) {
    const IppiSize bad[] = {{0, 1}, {1, 0}, {-1, 5}, {5, -1}, {INT_MAX, 1}};
    for (IppiSize size : bad) {
        SCOPED_TRACE(Describe(size));
        int step = -7;
        EXPECT_EQ(ippiMalloc_8u_C1(size.width, size.height, &step), nullptr);
        EXPECT_EQ(ippiMalloc_8u_C3(size.width, size.height, &step), nullptr);
        EXPECT_EQ(ippiMalloc_32f_C1(size.width, size.height, &step), nullptr);
        EXPECT_EQ(step, -7);
    }
    EXPECT_EQ(ippiMalloc_8u_C1(4, 4, nullptr), nullptr);
    EXPECT_EQ(ippiMalloc_8u_C3(4, 4, nullptr), nullptr);
    EXPECT_EQ(ippiMalloc_32f_C1(4, 4, nullptr), nullptr);
    ippiFree(nullptr);
}

// ---------------------------------------------------------------------------
// Gaussian pyramids

constexpr int kGauss[5] = {1, 4, 6, 4, 1};

// Mirror about the edge samples without repeating them: -1 -> 1, n -> n - 2.
int Reflect101(int i, int n) {
    if (n == 1)
        return 0;
    while (i < 0 || i >= n) i = i < 0 ? -i : 2 * n - 2 - i;
    return i;
}

// Down: the 5 x 5 kernel (weights sum to 256) centred on source (2x, 2y),
// the source mirrored reflect-101 at its edges, rounded halves up.
Plane<Ipp8u> ReferencePyrDown(const Plane<Ipp8u>& src, Plane<Ipp8u> dst) {
    for (int y = 0; y < dst.height; ++y)
        for (int x = 0; x < dst.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = -2; j <= 2; ++j)
                    for (int i = -2; i <= 2; ++i)
                        sum += kGauss[i + 2] * kGauss[j + 2] *
                               src.At(Reflect101(2 * x + i, src.width),
                                      Reflect101(2 * y + j, src.height), c);
                dst.At(x, y, c) = static_cast<Ipp8u>((sum + 128) >> 8);
            }
    return dst;
}

// Up: the source spread over a 2W x 2H picture with zeros at odd rows and
// columns, mirrored reflect-101 at that picture's edges, then the 5 x 5
// kernel; only a quarter of the taps hit samples, so the weights sum to 64.
Plane<Ipp8u> ReferencePyrUp(const Plane<Ipp8u>& src, Plane<Ipp8u> dst) {
    auto spread = [&](int x, int y, int c) { return x % 2 || y % 2 ? 0 : src.At(x / 2, y / 2, c); };
    for (int y = 0; y < dst.height; ++y)
        for (int x = 0; x < dst.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = -2; j <= 2; ++j)
                    for (int i = -2; i <= 2; ++i)
                        sum +=
                            kGauss[i + 2] * kGauss[j + 2] *
                            spread(Reflect101(x + i, dst.width), Reflect101(y + j, dst.height), c);
                dst.At(x, y, c) = static_cast<Ipp8u>((sum + 32) >> 6);
            }
    return dst;
}

TEST(IppPyramid, ScratchSizeIsPositiveAndArgumentsAreChecked) {
    for (auto getSize : {ippiPyrDownGetBufSize_Gauss5x5, ippiPyrUpGetBufSize_Gauss5x5}) {
        for (int width : {1, 7, 176, 352}) {
            int size = 0;
            EXPECT_EQ(getSize(width, ipp8u, 3, &size), ippStsNoErr);
            EXPECT_GT(size, 0);
        }
        int size = -3;
        EXPECT_EQ(getSize(352, ipp8u, 3, nullptr), ippStsNullPtrErr);
        EXPECT_EQ(getSize(0, ipp8u, 3, &size), ippStsSizeErr);
        EXPECT_EQ(getSize(-5, ipp8u, 3, &size), ippStsSizeErr);
        EXPECT_EQ(getSize(352, static_cast<IppDataType>(7), 3, &size), ippStsSizeErr);
        EXPECT_EQ(getSize(352, ipp8u, 0, &size), ippStsSizeErr);
        EXPECT_EQ(size, -3);
    }
}

TEST(IppPyramid, DownMatchesTheReferenceKernel) {
    const IppiSize sizes[] = {{2, 2}, {3, 3}, {7, 5}, {13, 9}, {33, 6}, {8, 2}, {5, 11}};
    Ipp8u scratch[64];
    for (IppiSize size : sizes) {
        SCOPED_TRACE(Describe(size));
        const Plane<Ipp8u> src(size, 3, 5, 11);
        Plane<Ipp8u> srcCopy = src;
        const Plane<Ipp8u> before({size.width / 2, size.height / 2}, 3, 7, 12);
        Plane<Ipp8u> dst = before;
        ASSERT_EQ(ippiPyrDown_Gauss5x5_8u_C3R(srcCopy.Data(), src.Step(), dst.Data(), dst.Step(),
                                              size, scratch),
                  ippStsNoErr);
        EXPECT_EQ(dst.data, ReferencePyrDown(src, before).data);
        EXPECT_EQ(srcCopy.data, src.data);
    }
}

TEST(IppPyramid, UpMatchesTheReferenceKernel) {
    const IppiSize sizes[] = {{1, 1}, {2, 1}, {3, 3}, {7, 5}, {13, 2}, {16, 4}};
    Ipp8u scratch[64];
    for (IppiSize size : sizes) {
        SCOPED_TRACE(Describe(size));
        const Plane<Ipp8u> src(size, 3, 5, 21);
        Plane<Ipp8u> srcCopy = src;
        const Plane<Ipp8u> before({2 * size.width, 2 * size.height}, 3, 7, 22);
        Plane<Ipp8u> dst = before;
        ASSERT_EQ(ippiPyrUp_Gauss5x5_8u_C3R(srcCopy.Data(), src.Step(), dst.Data(), dst.Step(),
                                            size, scratch),
                  ippStsNoErr);
        EXPECT_EQ(dst.data, ReferencePyrUp(src, before).data);
        EXPECT_EQ(srcCopy.data, src.data);
    }
}

// The game smooths a frame by going down into a buffer and up again into the
// frame; with odd sides the last column and row of the frame are not written.
TEST(IppPyramid, RoundTripOfAnOddFrameLeavesItsLastColumnAndRow) {
    const IppiSize frameSize = {13, 9};
    Ipp8u scratch[64];
    const Plane<Ipp8u> original(frameSize, 3, 5, 31);
    Plane<Ipp8u> frame = original;
    Plane<Ipp8u> half({6, 4}, 3, 2, 32);
    ASSERT_EQ(ippiPyrDown_Gauss5x5_8u_C3R(frame.Data(), frame.Step(), half.Data(), half.Step(),
                                          frameSize, scratch),
              ippStsNoErr);
    ASSERT_EQ(ippiPyrUp_Gauss5x5_8u_C3R(half.Data(), half.Step(), frame.Data(), frame.Step(),
                                        {6, 4}, scratch),
              ippStsNoErr);
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < frameSize.height; ++y)
            EXPECT_EQ(frame.At(12, y, c), original.At(12, y, c));
        for (int x = 0; x < frameSize.width; ++x)
            EXPECT_EQ(frame.At(x, 8, c), original.At(x, 8, c));
    }
    ExpectPaddingKept(original, frame);
}

TEST(IppPyramid, RefusesRegionsWithoutAHalfAndAMissingScratch) {
    Ipp8u src[64] = {}, dst[64] = {}, scratch[64];
    for (IppiSize tooSmall : {IppiSize{1, 4}, IppiSize{4, 1}}) {
        SCOPED_TRACE(Describe(tooSmall));
        EXPECT_EQ(ippiPyrDown_Gauss5x5_8u_C3R(src, 12, dst, 12, tooSmall, scratch), ippStsSizeErr);
    }
    EXPECT_EQ(ippiPyrDown_Gauss5x5_8u_C3R(src, 12, dst, 12, {4, 4}, nullptr), ippStsNullPtrErr);
    EXPECT_EQ(ippiPyrUp_Gauss5x5_8u_C3R(src, 12, dst, 24, {2, 2}, nullptr), ippStsNullPtrErr);
    // A doubled width that no int holds.
    EXPECT_EQ(ippiPyrUp_Gauss5x5_8u_C3R(src, INT_MAX, dst, INT_MAX, {INT_MAX / 3, 1}, scratch),
              ippStsStepErr);
    for (Ipp8u b : dst) ASSERT_EQ(b, 0);
}

// ---------------------------------------------------------------------------
// Colour

struct Yuv {
    double y, u, v;
};

Yuv RealYuv(int c0, int c1, int c2) {
    const double y = 0.299 * c0 + 0.587 * c1 + 0.114 * c2;
    return {y, 0.492 * (c2 - y) + 128, 0.877 * (c0 - y) + 128};
}

TEST(IppColour, YuvIsWithinOneOfTheRealFormulaOverAGridOfColours) {
    // Every fifth level of each channel (0 and 255 included), one pixel each.
    std::vector<Ipp8u> rgb;
    for (int c0 = 0; c0 <= 255; c0 += 5)
        for (int c1 = 0; c1 <= 255; c1 += 5)
            for (int c2 = 0; c2 <= 255; c2 += 5)
                rgb.insert(rgb.end(), {Ipp8u(c0), Ipp8u(c1), Ipp8u(c2)});
    const int n = static_cast<int>(rgb.size() / 3);
    std::vector<Ipp8u> y(n), u(n), v(n);
    Ipp8u* planes[3] = {y.data(), u.data(), v.data()};
    ASSERT_EQ(ippiRGBToYUV_8u_C3P3R(rgb.data(), 3 * n, planes, n, {n, 1}), ippStsNoErr);
    for (int i = 0; i < n; ++i) {
        const Yuv real = RealYuv(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        const double exact[3] = {real.y, real.u, real.v};
        const Ipp8u got[3] = {y[i], u[i], v[i]};
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE("plane " + std::to_string(k) + " of (" + std::to_string(rgb[3 * i]) +
                         ", " + std::to_string(rgb[3 * i + 1]) + ", " +
                         std::to_string(rgb[3 * i + 2]) + ")");
            const Ipp8u want = RoundHalfUp(exact[k]);
            ASSERT_LE(std::abs(got[k] - want), 1);
            // Fixed-point weights may tip a value lying a hair from a half the
            // other way, but no other.
            if (got[k] != want) {
                ASSERT_LT(std::abs(exact[k] - std::floor(exact[k]) - 0.5), 0.01);
            }
        }
    }
}

TEST(IppColour, YuvOfGreysAndSaturatedColoursIsExact) {
    std::vector<Ipp8u> rgb;
    for (int g = 0; g <= 255; ++g) rgb.insert(rgb.end(), {Ipp8u(g), Ipp8u(g), Ipp8u(g)});
    // c0 alone drives V past 255; c1 and c2 alone drive it below 0.
    rgb.insert(rgb.end(), {255, 0, 0, 0, 255, 255, 0, 0, 255});
    const int n = static_cast<int>(rgb.size() / 3);
    std::vector<Ipp8u> y(n), u(n), v(n);
    Ipp8u* planes[3] = {y.data(), u.data(), v.data()};
    ASSERT_EQ(ippiRGBToYUV_8u_C3P3R(rgb.data(), 3 * n, planes, n, {n, 1}), ippStsNoErr);
    for (int g = 0; g <= 255; ++g) {
        SCOPED_TRACE("grey " + std::to_string(g));
        EXPECT_EQ(y[g], g);
        EXPECT_EQ(u[g], 128);
        EXPECT_EQ(v[g], 128);
    }
    EXPECT_EQ(v[256], 255);
    EXPECT_EQ(v[257], 0);
    EXPECT_EQ(u[258], 239);  // the largest U: 128 + 0.492 * 0.886 * 255 = 239.16
}

TEST(IppColour, YuvFillsThreePaddedPlanes) {
    for (IppiSize size : kSizes) {
        SCOPED_TRACE(Describe(size));
        Plane<Ipp8u> src(size, 3, 5, 41);
        const Plane<Ipp8u> srcBefore = src;
        const Plane<Ipp8u> before(size, 1, 6, 42);
        Plane<Ipp8u> y = before, u = before, v = before;
        Ipp8u* planes[3] = {y.Data(), u.Data(), v.Data()};
        ASSERT_EQ(ippiRGBToYUV_8u_C3P3R(src.Data(), src.Step(), planes, y.Step(), size),
                  ippStsNoErr);
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x) {
                const Yuv real = RealYuv(src.At(x, r, 0), src.At(x, r, 1), src.At(x, r, 2));
                EXPECT_LE(std::abs(y.At(x, r) - RoundHalfUp(real.y)), 1);
                EXPECT_LE(std::abs(u.At(x, r) - RoundHalfUp(real.u)), 1);
                EXPECT_LE(std::abs(v.At(x, r) - RoundHalfUp(real.v)), 1);
            }
        ExpectPaddingKept(before, y);
        ExpectPaddingKept(before, u);
        ExpectPaddingKept(before, v);
        EXPECT_EQ(src.data, srcBefore.data);
    }
    Ipp8u src[3] = {}, p0[1], p1[1];
    Ipp8u* missingPlane[3] = {p0, p1, nullptr};
    EXPECT_EQ(ippiRGBToYUV_8u_C3P3R(src, 3, missingPlane, 1, {1, 1}), ippStsNullPtrErr);
}

// The documented grey. Weights k with lround(k * 2^15) in a signed 16-bit
// lane are used as those 15-bit integers: (sum of w c + 2^14) >> 15, halves
// up. Other weights give the exact weighted sum rounded halves up. Both
// saturate.
struct GreyReference {
    explicit GreyReference(const Ipp32f k[3]) : real(k) {
        for (int c = 0; c < 3; ++c) {
            const long long w = std::llround(static_cast<long double>(k[c]) * 32768);
            fixed = fixed && w >= -32768 && w <= 32767;
            weights[c] = static_cast<int>(w);
        }
    }
    long double Exact(const int c[3]) const {
        long double sum = 0;
        for (int i = 0; i < 3; ++i) sum += static_cast<long double>(real[i]) * c[i];
        return sum;
    }
    Ipp8u operator()(const int c[3]) const {
        if (!fixed)
            return RoundHalfUp(Exact(c));
        const int sum = weights[0] * c[0] + weights[1] * c[1] + weights[2] * c[2];
        return Saturate((sum + (1 << 14)) >> 15);
    }

    const Ipp32f* real;
    bool fixed = true;
    int weights[3] = {};
};

TEST(IppColour, GreyIsTheRoundedWeightedSum) {
    struct Weights {
        const char* what;
        Ipp32f w[3];
        bool fixed;  // all three weights fit the 16-bit lanes
    };
    const Weights sets[] = {
        {"game's thirds", {0.33f, 0.33f, 0.33f}, true},
        {"luma", {0.299f, 0.587f, 0.114f}, true},
        {"one channel: 2^15 is past a lane", {0.0f, 0.0f, 1.0f}, false},
        {"over one, saturates", {1.5f, 0.75f, 0.5f}, false},
        {"negative, saturates", {-0.5f, 0.25f, 0.75f}, true},
        {"lane limits 32767 and -32768", {0.99998f, 0.75f, -1.0f}, true},
        {"just past the lane", {0.5f, 0.99999f, 0.0f}, false},
    };
    // Fixed-point weights are within 1/2 of k * 2^15, so the sum before its
    // rounding is within 3 * 255 / 2^16 of the real one.
    constexpr long double kFixedError = 0.5L + 3 * 255 / 65536.0L;
    for (const Weights& set : sets) {
        const GreyReference reference(set.w);
        ASSERT_EQ(reference.fixed, set.fixed) << set.what;
        for (int pad : kSweepPads)
            for (IppiSize size : WidthSweep()) {
                SCOPED_TRACE(std::string(set.what) + " " + Describe(size) + " pad " +
                             std::to_string(pad));
                Plane<Ipp8u> src(size, 3, pad, 51);
                const Plane<Ipp8u> srcBefore = src;
                const Plane<Ipp8u> before(size, 1, pad, 52);
                Plane<Ipp8u> dst = before;
                ASSERT_EQ(ippiColorToGray_8u_C3C1R(src.Data(), src.Step(), dst.Data(), dst.Step(),
                                                   size, set.w),
                          ippStsNoErr);
                for (int r = 0; r < size.height; ++r)
                    for (int x = 0; x < size.width; ++x) {
                        const int c[3] = {src.At(x, r, 0), src.At(x, r, 1), src.At(x, r, 2)};
                        ASSERT_EQ(dst.At(x, r), reference(c)) << "at " << x << ", " << r;
                        const long double real =
                            std::clamp(reference.Exact(c), 0.0L, 255.0L);
                        ASSERT_LE(std::abs(dst.At(x, r) - real), kFixedError);
                    }
                ExpectPaddingKept(before, dst);
                ASSERT_EQ(src.data, srcBefore.data);
            }
    }
}

// With the game's weights, 0.33f * 2^15 = 10813.44 becomes 10813, so a grey
// level g gives (32439 g + 2^14) >> 15. The real sum 0.99 g of the greys
// 50, 150 and 250 lies a hair above a half (0.33f is a little above 0.33),
// the fixed-point one a little below it: they round down.
TEST(IppColour, GreyOfThirdsIsTheFixedPointSumOfEveryGrey) {
    const Ipp32f thirds[3] = {0.33f, 0.33f, 0.33f};
    struct Case {
        Ipp8u level, grey;
    };
    const Case cases[] = {{50, 49}, {150, 148}, {249, 246}, {250, 247}, {255, 252}, {0, 0}};
    for (const Case& c : cases) {
        const Ipp8u src[3] = {c.level, c.level, c.level};
        Ipp8u grey = 0;
        ASSERT_EQ(ippiColorToGray_8u_C3C1R(src, 3, &grey, 1, {1, 1}, thirds), ippStsNoErr);
        EXPECT_EQ(grey, c.grey) << "level " << int(c.level);
    }
    // All 256 greys in one row, through the vector blocks as well.
    std::vector<Ipp8u> rgb, grey(256);
    for (int g = 0; g < 256; ++g) rgb.insert(rgb.end(), {Ipp8u(g), Ipp8u(g), Ipp8u(g)});
    ASSERT_EQ(ippiColorToGray_8u_C3C1R(rgb.data(), 3 * 256, grey.data(), 256, {256, 1}, thirds),
              ippStsNoErr);
    for (int g = 0; g < 256; ++g) {
        EXPECT_EQ(grey[g], (3 * 10813 * g + (1 << 14)) >> 15) << "level " << g;
        // Never more than one from the real sum rounded halves up.
        EXPECT_LE(std::abs(grey[g] - RoundHalfUp(3 * static_cast<long double>(0.33f) * g)), 1);
    }
    Ipp8u src[3] = {}, one = 7;
    EXPECT_EQ(ippiColorToGray_8u_C3C1R(src, 3, &one, 1, {1, 1}, nullptr), ippStsNullPtrErr);
    EXPECT_EQ(one, 7);
}

// ---------------------------------------------------------------------------
// Copies and the mirror

TEST(IppCopy, PlaneCopyKeepsPadding) {
    for (IppiSize size : kSizes) {
        SCOPED_TRACE(Describe(size));
        Plane<Ipp8u> src(size, 1, 3, 61);
        const Plane<Ipp8u> before(size, 1, 7, 62);
        Plane<Ipp8u> dst = before;
        ASSERT_EQ(ippiCopy_8u_C1R(src.Data(), src.Step(), dst.Data(), dst.Step(), size),
                  ippStsNoErr);
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x) ASSERT_EQ(dst.At(x, r), src.At(x, r));
        ExpectPaddingKept(before, dst);
    }
}

TEST(IppCopy, ThreePlanesInterleave) {
    for (IppiSize size : kSizes) {
        SCOPED_TRACE(Describe(size));
        Plane<Ipp8u> a(size, 1, 3, 71), b(size, 1, 3, 72), c(size, 1, 3, 73);
        const Plane<Ipp8u> before(size, 3, 5, 74);
        Plane<Ipp8u> dst = before;
        const Ipp8u* planes[3] = {a.Data(), b.Data(), c.Data()};
        ASSERT_EQ(ippiCopy_8u_P3C3R(planes, a.Step(), dst.Data(), dst.Step(), size), ippStsNoErr);
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x) {
                ASSERT_EQ(dst.At(x, r, 0), a.At(x, r));
                ASSERT_EQ(dst.At(x, r, 1), b.At(x, r));
                ASSERT_EQ(dst.At(x, r, 2), c.At(x, r));
            }
        ExpectPaddingKept(before, dst);
    }
    Ipp8u p[4] = {}, dst[12] = {};
    const Ipp8u* missingPlane[3] = {p, nullptr, p};
    EXPECT_EQ(ippiCopy_8u_P3C3R(missingPlane, 4, dst, 12, {4, 1}), ippStsNullPtrErr);
}

TEST(IppMirror, FlipsAboutEachAxis) {
    struct Case {
        IppiAxis axis;
        bool leftRight, upDown;
    };
    const Case cases[] = {
        {ippAxsVertical, true, false}, {ippAxsHorizontal, false, true}, {ippAxsBoth, true, true}};
    std::vector<IppiSize> sizes = {{1, 1}, {7, 3}, {8, 4}, {13, 5}, {33, 2}};
    for (IppiSize size : WidthSweep()) sizes.push_back(size);
    for (const Case& c : cases)
        for (int pad : kSweepPads)
            for (IppiSize size : sizes) {
                SCOPED_TRACE("axis " + std::to_string(c.axis) + " " + Describe(size) + " pad " +
                             std::to_string(pad));
                const Plane<Ipp8u> before(size, 3, pad, 81);
                Plane<Ipp8u> img = before;
                ASSERT_EQ(ippiMirror_8u_C3IR(img.Data(), img.Step(), size, c.axis), ippStsNoErr);
                for (int r = 0; r < size.height; ++r)
                    for (int x = 0; x < size.width; ++x)
                        for (int ch = 0; ch < 3; ++ch)
                            ASSERT_EQ(img.At(x, r, ch),
                                      before.At(c.leftRight ? size.width - 1 - x : x,
                                                c.upDown ? size.height - 1 - r : r, ch));
                ExpectPaddingKept(before, img);
            }
    // An axis that is none of the three is refused and changes nothing.
    const Plane<Ipp8u> before({7, 3}, 3, 5, 81);
    Plane<Ipp8u> img = before;
    EXPECT_EQ(ippiMirror_8u_C3IR(img.Data(), img.Step(), {7, 3}, static_cast<IppiAxis>(5)),
              ippStsMirrorFlipErr);
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(img.At(x, r, 0), before.At(x, r, 0));
}

// ---------------------------------------------------------------------------
// Arithmetic

TEST(IppArithmetic, ConvertGivesTheSameValuesAsFloats) {
    for (int pad : kSweepPads)
        for (IppiSize size : WidthSweep()) {
            SCOPED_TRACE(Describe(size) + " pad " + std::to_string(pad));
            Plane<Ipp8u> src(size, 1, pad, 91);
            const Plane<Ipp32f> before(size, 1, pad, 92);
            Plane<Ipp32f> dst = before;
            ASSERT_EQ(ippiConvert_8u32f_C1R(src.Data(), src.Step(), dst.Data(), dst.Step(), size),
                      ippStsNoErr);
            for (int r = 0; r < size.height; ++r)
                for (int x = 0; x < size.width; ++x)
                    ASSERT_EQ(dst.At(x, r), static_cast<Ipp32f>(src.At(x, r)));
            ExpectPaddingKept(before, dst);
        }
}

TEST(IppArithmetic, FloatStepsMustHoldWholeFloats) {
    alignas(16) Ipp8u bytes[64] = {};
    alignas(16) Ipp32f floats[64] = {};
    EXPECT_EQ(ippiConvert_8u32f_C1R(bytes, 4, floats, 18, {4, 2}), ippStsStepErr);
    EXPECT_EQ(ippiScale_32f8u_C1R(floats, 18, bytes, 4, {4, 2}, 0, 255), ippStsStepErr);
    EXPECT_EQ(ippiAddWeighted_8u32f_C1IR(bytes, 4, floats, 18, {4, 2}, 0.5f), ippStsStepErr);
    for (Ipp32f f : floats) ASSERT_EQ(f, 0.0f);
}

TEST(IppArithmetic, ScaleRoundsToNearestEvenAndSaturates) {
    constexpr Ipp32f kInf = std::numeric_limits<Ipp32f>::infinity();
    struct Case {
        Ipp32f value, vMin, vMax;
        Ipp8u expected;
    };
    const Case cases[] = {
        // The plain conversion of the game.
        {0.0f, 0, 255, 0},
        {0.49999997f, 0, 255, 0},  // float(v + 0.5f) would already be 1
        {0.5f, 0, 255, 0},         // ties go to the even neighbour
        {1.5f, 0, 255, 2},
        {2.5f, 0, 255, 2},
        {2.5000002f, 0, 255, 3},
        {127.49999f, 0, 255, 127},
        {127.5f, 0, 255, 128},
        {179.41f, 0, 255, 179},
        {253.5f, 0, 255, 254},
        {254.5f, 0, 255, 254},
        {254.50002f, 0, 255, 255},
        {255.0f, 0, 255, 255},
        {-0.0f, 0, 255, 0},
        {-0.49f, 0, 255, 0},
        {-0.5f, 0, 255, 0},
        {-3.0f, 0, 255, 0},
        {255.5f, 0, 255, 255},
        {256.0f, 0, 255, 255},
        {1e30f, 0, 255, 255},
        {-1e30f, 0, 255, 0},
        {kInf, 0, 255, 255},
        {-kInf, 0, 255, 0},
        {std::numeric_limits<Ipp32f>::quiet_NaN(), 0, 255, 0},
        {-std::numeric_limits<Ipp32f>::quiet_NaN(), 0, 255, 0},
        // Other ranges map linearly.
        {-1.0f, -1, 1, 0},
        {0.0f, -1, 1, 128},  // 127.5
        {1.0f, -1, 1, 255},
        {15.0f, 10, 20, 128},  // 127.5
        {12.0f, 10, 20, 51},
        {25.0f, 10, 20, 255},
        {5.0f, 0, 510, 2},  // 2.5
        {7.0f, 0, 510, 4},  // 3.5
        {std::numeric_limits<Ipp32f>::quiet_NaN(), 10, 20, 0},
    };
    // Each value fills a row long enough for a vector block and a tail.
    constexpr int kRow = 37;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " in " + std::to_string(c.vMin) + ".." +
                     std::to_string(c.vMax));
        for (int width : {1, kRow}) {
            const std::vector<Ipp32f> src(width, c.value);
            std::vector<Ipp8u> out(width, 77);
            ASSERT_EQ(ippiScale_32f8u_C1R(src.data(), 4 * width, out.data(), width, {width, 1},
                                          c.vMin, c.vMax),
                      ippStsNoErr);
            for (int x = 0; x < width; ++x) ASSERT_EQ(out[x], c.expected) << "at " << x;
        }
    }
}

TEST(IppArithmetic, ScaleOfPaddedPlanesMatchesTheLinearMap) {
    struct Range {
        Ipp32f vMin, vMax;
    };
    for (Range range : {Range{0, 255}, Range{-40, 300}, Range{100, 110}})
        for (int pad : kSweepPads)
            for (IppiSize size : WidthSweep()) {
                SCOPED_TRACE(Describe(size) + " pad " + std::to_string(pad) + " from " +
                             std::to_string(range.vMin));
                Plane<Ipp32f> src(size, 1, pad, 101);
                std::mt19937 random(5);
                // Every third value an exact half, where the rounding shows.
                for (std::size_t i = 0; i < src.data.size(); ++i) {
                    const Ipp32f v = std::uniform_real_distribution<Ipp32f>(-50.0f, 320.0f)(random);
                    src.data[i] = i % 3 == 0 ? std::floor(v) + 0.5f : v;
                }
                const Plane<Ipp8u> before(size, 1, pad, 102);
                Plane<Ipp8u> dst = before;
                ASSERT_EQ(ippiScale_32f8u_C1R(src.Data(), src.Step(), dst.Data(), dst.Step(),
                                              size, range.vMin, range.vMax),
                          ippStsNoErr);
                for (int r = 0; r < size.height; ++r)
                    for (int x = 0; x < size.width; ++x) {
                        const long double mapped =
                            (static_cast<long double>(src.At(x, r)) - range.vMin) * 255 /
                            (static_cast<long double>(range.vMax) - range.vMin);
                        ASSERT_EQ(dst.At(x, r), RoundHalfEven(mapped)) << "value " << src.At(x, r);
                    }
                ExpectPaddingKept(before, dst);
            }
}

TEST(IppArithmetic, ScaleRefusesAnEmptyOrUnboundedRange) {
    constexpr Ipp32f kInf = std::numeric_limits<Ipp32f>::infinity();
    constexpr Ipp32f kNaN = std::numeric_limits<Ipp32f>::quiet_NaN();
    const Ipp32f ranges[][2] = {{0, 0}, {255, 0}, {kNaN, 255}, {0, kNaN}, {-kInf, 0}, {0, kInf}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(std::to_string(range[0]) + ".." + std::to_string(range[1]));
        const Ipp32f src = 3.0f;
        Ipp8u out = 77;
        EXPECT_EQ(ippiScale_32f8u_C1R(&src, 4, &out, 1, {1, 1}, range[0], range[1]),
                  ippStsScaleRangeErr);
        EXPECT_EQ(out, 77);
    }
}

TEST(IppArithmetic, AbsDiffOfEveryPairOfBytes) {
    // One row per first operand, all 256 second operands across it.
    Plane<Ipp8u> a({256, 256}, 1, 3, 111), b({256, 256}, 1, 5, 112);
    for (int r = 0; r < 256; ++r)
        for (int x = 0; x < 256; ++x) {
            a.At(x, r) = static_cast<Ipp8u>(r);
            b.At(x, r) = static_cast<Ipp8u>(x);
        }
    const Plane<Ipp8u> before({256, 256}, 1, 7, 113);
    Plane<Ipp8u> dst = before;
    ASSERT_EQ(ippiAbsDiff_8u_C1R(a.Data(), a.Step(), b.Data(), b.Step(), dst.Data(), dst.Step(),
                                 {256, 256}),
              ippStsNoErr);
    for (int r = 0; r < 256; ++r)
        for (int x = 0; x < 256; ++x) ASSERT_EQ(dst.At(x, r), std::abs(r - x)) << r << " - " << x;
    ExpectPaddingKept(before, dst);
}

TEST(IppArithmetic, AbsDiffOfOddPlanes) {
    for (IppiSize size : kSizes) {
        SCOPED_TRACE(Describe(size));
        Plane<Ipp8u> a(size, 1, 3, 121), b(size, 1, 6, 122);
        const Plane<Ipp8u> before(size, 1, 1, 123);
        Plane<Ipp8u> dst = before;
        ASSERT_EQ(ippiAbsDiff_8u_C1R(a.Data(), a.Step(), b.Data(), b.Step(), dst.Data(), dst.Step(),
                                     size),
                  ippStsNoErr);
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x)
                ASSERT_EQ(dst.At(x, r), std::abs(a.At(x, r) - b.At(x, r)));
        ExpectPaddingKept(before, dst);
    }
}

TEST(IppArithmetic, ThresholdReplacesBelowAndAboveAndKeepsTheRest) {
    struct Case {
        const char* what;
        Ipp8u tLT, vLT, tGT, vGT;
    };
    const Case cases[] = {
        {"game's T = 20", 20, 0, 20, 255},
        {"T = 0: nothing below", 0, 9, 0, 250},
        {"T = 255: nothing above", 255, 3, 255, 7},
        {"band kept", 50, 1, 200, 2},
        {"crossed thresholds: below wins", 200, 1, 50, 2},
    };
    for (const Case& c : cases)
        for (IppiSize size : kSizes) {
            SCOPED_TRACE(std::string(c.what) + " " + Describe(size));
            const Plane<Ipp8u> before(size, 1, 5, 131);
            Plane<Ipp8u> img = before;
            // Exact hits on both thresholds, which must stay.
            img.At(0, 0) = c.tLT;
            img.At(size.width - 1, size.height - 1) = c.tGT;
            const Plane<Ipp8u> input = img;
            ASSERT_EQ(ippiThreshold_LTValGTVal_8u_C1IR(img.Data(), img.Step(), size, c.tLT, c.vLT,
                                                       c.tGT, c.vGT),
                      ippStsNoErr);
            for (int r = 0; r < size.height; ++r)
                for (int x = 0; x < size.width; ++x) {
                    const Ipp8u v = input.At(x, r);
                    const Ipp8u want = v < c.tLT ? c.vLT : v > c.tGT ? c.vGT : v;
                    ASSERT_EQ(img.At(x, r), want) << "value " << int(v);
                }
            ExpectPaddingKept(before, img);
        }
}

// The blend is worked in float as written: each product rounded, then the
// sum, never fused, so every pixel equals the reference exactly.
TEST(IppArithmetic, AddWeightedBlendsIntoTheAccumulator) {
    for (Ipp32f alpha : {0.1f, 0.0f, 1.0f, 0.5f, 0.9f})
        for (int pad : kSweepPads)
            for (IppiSize size : WidthSweep()) {
                SCOPED_TRACE("alpha " + std::to_string(alpha) + " " + Describe(size) + " pad " +
                             std::to_string(pad));
                Plane<Ipp8u> src(size, 1, pad, 141);
                const Plane<Ipp32f> before(size, 1, pad, 142);
                Plane<Ipp32f> acc = before;
                ASSERT_EQ(ippiAddWeighted_8u32f_C1IR(src.Data(), src.Step(), acc.Data(), acc.Step(),
                                                     size, alpha),
                          ippStsNoErr);
                for (int r = 0; r < size.height; ++r)
                    for (int x = 0; x < size.width; ++x) {
                        const Ipp32f want = (1.0f - alpha) * before.At(x, r) +
                                            alpha * static_cast<Ipp32f>(src.At(x, r));
                        ASSERT_EQ(acc.At(x, r), want);
                    }
                ExpectPaddingKept(before, acc);
            }
}

TEST(IppArithmetic, CountInRangeCountsInsideTheRegionOnly) {
    struct Case {
        const char* what;
        Ipp8u lower, upper;
    };
    const Case cases[] = {
        {"game's 128..255", 128, 255}, {"everything", 0, 255},    {"one value", 5, 5},
        {"low band", 0, 127},          {"empty range", 200, 100},
    };
    // The padding holds 200, inside most ranges, so reading it would show.
    for (const Case& c : cases)
        for (IppiSize size : kSizes) {
            SCOPED_TRACE(std::string(c.what) + " " + Describe(size));
            Plane<Ipp8u> img(size, 1, 9, 151);
            for (int r = 0; r < size.height; ++r)
                for (int i = size.width; i < img.stride; ++i)
                    img.data[static_cast<std::size_t>(r) * img.stride + i] = 200;
            img.At(0, 0) = c.lower;
            img.At(size.width - 1, 0) = c.upper;
            int want = 0;
            for (int r = 0; r < size.height; ++r)
                for (int x = 0; x < size.width; ++x)
                    want += img.At(x, r) >= c.lower && img.At(x, r) <= c.upper;
            int count = -1;
            ASSERT_EQ(
                ippiCountInRange_8u_C1R(img.Data(), img.Step(), size, &count, c.lower, c.upper),
                ippStsNoErr);
            EXPECT_EQ(count, want);
        }
}

// The game starts its count at 0 and relies on a refused (empty) rectangle
// leaving it there.
TEST(IppArithmetic, CountInRangeLeavesTheCountOnBadArguments) {
    Ipp8u img[16] = {};
    for (IppiSize empty : {IppiSize{0, 4}, IppiSize{4, 0}, IppiSize{-1, -1}}) {
        int count = 0;
        EXPECT_EQ(ippiCountInRange_8u_C1R(img, 4, empty, &count, 0, 255), ippStsSizeErr);
        EXPECT_EQ(count, 0);
    }
    int count = 0;
    EXPECT_EQ(ippiCountInRange_8u_C1R(img, 3, {4, 4}, &count, 0, 255), ippStsStepErr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ippiCountInRange_8u_C1R(img, 4, {4, 4}, nullptr, 0, 255), ippStsNullPtrErr);
}

// (sample + constant) * 2^-scale exactly, rounded to nearest with ties to
// even, saturated.
Ipp8u ReferenceAddC(int sample, int constant, int scale) {
    const long double exact =
        std::ldexp(static_cast<long double>(sample + constant), -std::clamp(scale, -64, 64));
    return Saturate(std::nearbyint(exact));
}

TEST(IppArithmetic, AddConstantScalesRoundsToEvenAndSaturates) {
    const int scales[] = {1, 0, 2, 3, 8, 9, 10, 11, 40, INT_MAX, -1, -3, -8, -9, -40, INT_MIN};
    const Ipp8u constants[][3] = {{0, 0, 0}, {1, 2, 3}, {255, 128, 77}, {255, 255, 255}};
    for (int scale : scales)
        for (const auto& constant : constants) {
            SCOPED_TRACE("scale " + std::to_string(scale) + " constant " +
                         std::to_string(constant[0]) + "," + std::to_string(constant[1]) + "," +
                         std::to_string(constant[2]));
            // Every sample value in every channel: 256 pixels, one channel
            // counting up, the others shifted.
            const IppiSize size = {256, 1};
            Plane<Ipp8u> img(size, 3, 5, 161);
            for (int x = 0; x < 256; ++x)
                for (int c = 0; c < 3; ++c) img.At(x, 0, c) = static_cast<Ipp8u>(x + 85 * c);
            const Plane<Ipp8u> before = img;
            ASSERT_EQ(ippiAddC_8u_C3IRSfs(constant, img.Data(), img.Step(), size, scale),
                      ippStsNoErr);
            for (int x = 0; x < 256; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(img.At(x, 0, c),
                              ReferenceAddC(before.At(x, 0, c), constant[c], scale))
                        << "sample " << int(before.At(x, 0, c)) << " channel " << c;
            ExpectPaddingKept(before, img);
        }
}

TEST(IppArithmetic, AddConstantTintsAPaddedRectangle) {
    const Ipp8u tint[3] = {0, 101, 255};
    for (IppiSize size : kSizes) {
        SCOPED_TRACE(Describe(size));
        const Plane<Ipp8u> before(size, 3, 7, 171);
        Plane<Ipp8u> img = before;
        ASSERT_EQ(ippiAddC_8u_C3IRSfs(tint, img.Data(), img.Step(), size, 1), ippStsNoErr);
        for (int r = 0; r < size.height; ++r)
            for (int x = 0; x < size.width; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(img.At(x, r, c), ReferenceAddC(before.At(x, r, c), tint[c], 1));
        ExpectPaddingKept(before, img);
    }
    Ipp8u px[3] = {1, 2, 3};
    EXPECT_EQ(ippiAddC_8u_C3IRSfs(nullptr, px, 3, {1, 1}, 1), ippStsNullPtrErr);
    EXPECT_EQ(px[0], 1);
}

// ---------------------------------------------------------------------------
// Resize

// Destination (dx, dy) takes source floor(d * srcLength / dstLength) when the
// factor is that ratio, else floor(d / factor) held inside the region.
int ReferenceSource(int d, int srcLength, int dstLength, double factor) {
    if (factor == static_cast<double>(dstLength) / srcLength)
        return static_cast<int>(static_cast<long long>(d) * srcLength / dstLength);
    return std::min(static_cast<int>(std::floor(d / factor)), srcLength - 1);
}

TEST(IppResize, StretchesAndSqueezesOneRowStrips) {
    // (14, 18): 9 / (18.0 / 14) is 6.999999999999999 in double, but pixel 7 is meant.
    const int lengths[][2] = {{14, 18}, {1, 5},  {5, 1},   {7, 13}, {33, 7},
                              {13, 13}, {3, 10}, {18, 42}, {2, 3}};
    for (const auto& l : lengths) {
        const int la = l[0], ls = l[1];
        SCOPED_TRACE(std::to_string(la) + " -> " + std::to_string(ls));
        std::vector<Ipp8u> src(3 * la);
        for (int i = 0; i < 3 * la; ++i) src[i] = static_cast<Ipp8u>(i);
        // One guard pixel after the strip.
        std::vector<Ipp8u> dst(3 * ls + 3, 0xEE);
        const double factor = static_cast<double>(ls) / la;
        ASSERT_EQ(ippiResize_8u_C3R(src.data(), {la, 1}, 1, {0, 0, la, 1}, dst.data(), 1, {ls, 1},
                                    factor, 1.0, IPPI_INTER_NN),
                  ippStsNoErr);
        for (int dx = 0; dx < ls; ++dx) {
            const int sx = static_cast<int>(static_cast<long long>(dx) * la / ls);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(dst[3 * dx + c], src[3 * sx + c]) << "pixel " << dx;
        }
        for (int c = 0; c < 3; ++c) EXPECT_EQ(dst[3 * ls + c], 0xEE);
    }
}

TEST(IppResize, MapsPaddedPicturesAndSubregions) {
    struct Case {
        const char* what;
        IppiSize srcSize;
        IppiRect roi;
        IppiSize dstSize;
        double xFactor, yFactor;
    };
    const Case cases[] = {
        {"up, whole picture", {7, 5}, {0, 0, 7, 5}, {13, 9}, 13.0 / 7, 9.0 / 5},
        {"down, whole picture", {33, 4}, {0, 0, 33, 4}, {7, 3}, 7.0 / 33, 3.0 / 4},
        {"subregion", {13, 7}, {3, 2, 5, 4}, {11, 6}, 11.0 / 5, 6.0 / 4},
        {"factor doubles, destination clipped", {7, 3}, {0, 0, 7, 3}, {5, 3}, 2.0, 1.0},
        {"factor beyond the destination, held in the region",
         {4, 2},
         {0, 0, 4, 2},
         {7, 5},
         1.0,
         2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Plane<Ipp8u> src(c.srcSize, 3, 5, 181);
        Plane<Ipp8u> srcCopy = src;
        const Plane<Ipp8u> before(c.dstSize, 3, 4, 182);
        Plane<Ipp8u> dst = before;
        ASSERT_EQ(ippiResize_8u_C3R(srcCopy.Data(), c.srcSize, src.Step(), c.roi, dst.Data(),
                                    dst.Step(), c.dstSize, c.xFactor, c.yFactor, IPPI_INTER_NN),
                  ippStsNoErr);
        for (int dy = 0; dy < c.dstSize.height; ++dy)
            for (int dx = 0; dx < c.dstSize.width; ++dx) {
                const int sx =
                    c.roi.x + ReferenceSource(dx, c.roi.width, c.dstSize.width, c.xFactor);
                const int sy =
                    c.roi.y + ReferenceSource(dy, c.roi.height, c.dstSize.height, c.yFactor);
                for (int ch = 0; ch < 3; ++ch)
                    ASSERT_EQ(dst.At(dx, dy, ch), src.At(sx, sy, ch)) << dx << ", " << dy;
            }
        ExpectPaddingKept(before, dst);
        EXPECT_EQ(srcCopy.data, src.data);
    }
}

TEST(IppResize, RefusesBadArgumentsWithoutWriting) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Args {
        bool nullSrc = false, nullDst = false;
        IppiSize srcSize = {4, 2};
        int srcStep = 12;
        IppiRect roi = {0, 0, 4, 2};
        int dstStep = 24;
        IppiSize dstSize = {8, 4};
        double xFactor = 2, yFactor = 2;
        int interpolation = IPPI_INTER_NN;
    };
    struct Case {
        const char* what;
        std::function<void(Args&)> change;
        IppStatus expected;
    };
    // Each case changes one argument of a valid call: 4 x 2 doubled into 8 x 4.
    const Case cases[] = {
        {"valid", [](Args&) {}, ippStsNoErr},
        {"null source", [](Args& a) { a.nullSrc = true; }, ippStsNullPtrErr},
        {"null destination", [](Args& a) { a.nullDst = true; }, ippStsNullPtrErr},
        {"empty source", [](Args& a) { a.srcSize.width = 0; }, ippStsSizeErr},
        {"empty region", [](Args& a) { a.roi.height = 0; }, ippStsSizeErr},
        {"empty destination", [](Args& a) { a.dstSize.height = -1; }, ippStsSizeErr},
        {"region past the right", [](Args& a) { a.roi.x = 1; }, ippStsSizeErr},
        {"region past the bottom", [](Args& a) { a.roi.y = 1; }, ippStsSizeErr},
        {"region before the left",
         [](Args& a) {
             a.roi = {-1, 0, 2, 2};
         },
         ippStsSizeErr},
        {"region end overflows", [](Args& a) { a.roi.x = INT_MAX; }, ippStsSizeErr},
        {"source step short", [](Args& a) { a.srcStep = 11; }, ippStsStepErr},
        {"destination step short", [](Args& a) { a.dstStep = 23; }, ippStsStepErr},
        {"zero factor", [](Args& a) { a.xFactor = 0; }, ippStsResizeFactorErr},
        {"negative factor", [](Args& a) { a.yFactor = -2; }, ippStsResizeFactorErr},
        {"NaN factor", [](Args& a) { a.xFactor = kNaN; }, ippStsResizeFactorErr},
        {"infinite factor", [](Args& a) { a.yFactor = kInf; }, ippStsResizeFactorErr},
        {"unknown interpolation", [](Args& a) { a.interpolation = 0; }, ippStsResizeFactorErr},
        {"other interpolation", [](Args& a) { a.interpolation = 2; }, ippStsResizeFactorErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Args a;
        c.change(a);
        Ipp8u src[64], dst[128];
        std::memset(src, 0x5A, sizeof src);
        std::memset(dst, 0xA5, sizeof dst);
        EXPECT_EQ(ippiResize_8u_C3R(a.nullSrc ? nullptr : src, a.srcSize, a.srcStep, a.roi,
                                    a.nullDst ? nullptr : dst, a.dstStep, a.dstSize, a.xFactor,
                                    a.yFactor, a.interpolation),
                  c.expected);
        if (c.expected == ippStsNoErr)
            continue;
        for (Ipp8u b : dst) ASSERT_EQ(b, 0xA5);
    }
}

// One-row pictures never use their steps; the game passes 1.
TEST(IppResize, OneRowPicturesAcceptAnyStep) {
    const Ipp8u src[6] = {1, 2, 3, 4, 5, 6};
    Ipp8u dst[12] = {};
    ASSERT_EQ(
        ippiResize_8u_C3R(src, {2, 1}, 1, {0, 0, 2, 1}, dst, 1, {4, 1}, 2.0, 1.0, IPPI_INTER_NN),
        ippStsNoErr);
    const Ipp8u want[12] = {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6};
    EXPECT_EQ(std::memcmp(dst, want, sizeof want), 0);
}

}  // namespace
