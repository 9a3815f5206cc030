// The image primitives the game calls every frame, at the game's frame size.
#include <benchmark/benchmark.h>

#include <vector>

#include "ipp/ipp.h"

namespace {

constexpr IppiSize kRoi{352, 288};

struct Images {
    Images()
    {
        frame = ippiMalloc_8u_C3(kRoi.width, kRoi.height, &frameStep);
        grey = ippiMalloc_8u_C1(kRoi.width, kRoi.height, &greyStep);
        other = ippiMalloc_8u_C1(kRoi.width, kRoi.height, &greyStep);
        accum = ippiMalloc_32f_C1(kRoi.width, kRoi.height, &accumStep);
        for (int i = 0; i < frameStep * kRoi.height; ++i)
            frame[i] = static_cast<Ipp8u>(i * 7);
    }
    ~Images()
    {
        ippiFree(frame);
        ippiFree(grey);
        ippiFree(other);
        ippiFree(accum);
    }
    Ipp8u *frame, *grey, *other;
    Ipp32f* accum;
    int frameStep = 0, greyStep = 0, accumStep = 0;
};

#define IPP_BENCH(name, call)            \
    void BM_##name(benchmark::State& s)  \
    {                                    \
        Images im;                       \
        for (auto _ : s) {               \
            call;                        \
            benchmark::ClobberMemory();  \
        }                                \
    }                                    \
    BENCHMARK(BM_##name)->Unit(benchmark::kMicrosecond)

const Ipp32f kGrey[3] = {0.33f, 0.33f, 0.33f};
const Ipp8u kTint[3] = {100, 100, 100};

IPP_BENCH(Mirror, ippiMirror_8u_C3IR(im.frame, im.frameStep, kRoi, ippAxsVertical));
IPP_BENCH(MirrorUpDown, ippiMirror_8u_C3IR(im.frame, im.frameStep, kRoi, ippAxsHorizontal));
IPP_BENCH(MirrorBoth, ippiMirror_8u_C3IR(im.frame, im.frameStep, kRoi, ippAxsBoth));
IPP_BENCH(ColorToGray,
          ippiColorToGray_8u_C3C1R(im.frame, im.frameStep, im.grey, im.greyStep, kRoi, kGrey));
IPP_BENCH(Convert, ippiConvert_8u32f_C1R(im.grey, im.greyStep, im.accum, im.accumStep, kRoi));
IPP_BENCH(Scale,
          ippiScale_32f8u_C1R(im.accum, im.accumStep, im.other, im.greyStep, kRoi, 0.0f, 255.0f));
IPP_BENCH(AbsDiff, ippiAbsDiff_8u_C1R(im.grey, im.greyStep, im.other, im.greyStep, im.other,
                                      im.greyStep, kRoi));
IPP_BENCH(Threshold,
          ippiThreshold_LTValGTVal_8u_C1IR(im.other, im.greyStep, kRoi, 20, 0, 20, 255));
IPP_BENCH(AddWeighted,
          ippiAddWeighted_8u32f_C1IR(im.grey, im.greyStep, im.accum, im.accumStep, kRoi, 0.1f));
IPP_BENCH(AddC, ippiAddC_8u_C3IRSfs(kTint, im.frame, im.frameStep, {40, 40}, 1));

}  // namespace

BENCHMARK_MAIN();
