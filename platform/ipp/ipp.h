// Image primitives used by the vision and game code: 8-bit and 32-bit float
// images given by a data pointer, a row step in bytes and a region size.
// Implemented over OpenCV where it gives exactly the required results, else
// plain loops that the compiler vectorises; the per-frame ones also have AVX2
// kernels, chosen at run time, that give the same bytes as those loops.
// Every function reads and writes only the 3W or W bytes (4W for floats) of
// each row of its region. Not implemented: anything the game does not call.
//
// Every function on images answers a null pointer with ippStsNullPtrErr, an
// empty or negative region with ippStsSizeErr and a row step too small for a
// row of the region with ippStsStepErr, and then touches no memory. Float
// images also need steps that are whole numbers of floats.
#pragma once

#include <cstdint>

#define IPP_API __attribute__((visibility("default")))

using Ipp8u = std::uint8_t;
using Ipp32f = float;
using Ipp64f = double;

enum IppStatus : int {
    ippStsNoErr = 0,
    ippStsNullPtrErr = -8,
    ippStsSizeErr = -6,
    ippStsStepErr = -14,
    ippStsMemAllocErr = -9,
    ippStsScaleRangeErr = -13,
    ippStsResizeFactorErr = -23,
    ippStsMirrorFlipErr = -21,
};

enum IppiAxis : int { ippAxsHorizontal = 0, ippAxsVertical = 1, ippAxsBoth = 2 };
enum IppDataType : int { ipp8u = 1 };

// Interpolation mode of the one-row resize.
constexpr int IPPI_INTER_NN = 1;

struct IppiSize {
    int width;
    int height;
};

struct IppiRect {
    int x;
    int y;
    int width;
    int height;
};

extern "C" {

// Aligned images. Rows start on 32-byte boundaries; the row step is returned
// through pStepBytes. The memory is zeroed, so row padding reads as 0.
IPP_API Ipp8u* ippiMalloc_8u_C1(int widthPixels, int heightPixels, int* pStepBytes);
IPP_API Ipp8u* ippiMalloc_8u_C3(int widthPixels, int heightPixels, int* pStepBytes);
IPP_API Ipp32f* ippiMalloc_32f_C1(int widthPixels, int heightPixels, int* pStepBytes);
IPP_API void ippiFree(void* ptr);

// Gaussian 5x5 pyramid steps of 3-channel 8-bit pictures; roiSize is the
// source region. The down step writes (W/2) x (H/2), halves rounded toward
// zero (so W and H must be at least 2), the up step 2W x 2H. Both weight each
// axis [1 4 6 4 1]/16, mirror the picture about its edge pixels and round to
// nearest. The scratch size is positive; pBuffer must not be null. The size
// functions take only 8-bit data of 1 to 4 channels (else ippStsSizeErr).
IPP_API IppStatus ippiPyrDownGetBufSize_Gauss5x5(int roiWidth, IppDataType dataType, int channels,
                                                 int* pBufSize);
IPP_API IppStatus ippiPyrUpGetBufSize_Gauss5x5(int roiWidth, IppDataType dataType, int channels,
                                               int* pBufSize);
IPP_API IppStatus ippiPyrDown_Gauss5x5_8u_C3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst,
                                              int dstStep, IppiSize roiSize, Ipp8u* pBuffer);
IPP_API IppStatus ippiPyrUp_Gauss5x5_8u_C3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                            IppiSize roiSize, Ipp8u* pBuffer);

// Interleaved (R, G, B) to three planes: Y = 0.299R + 0.587G + 0.114B,
// U = 0.492(B - Y) + 128, V = 0.877(R - Y) + 128, rounded and saturated.
IPP_API IppStatus ippiRGBToYUV_8u_C3P3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst[3], int dstStep,
                                        IppiSize roiSize);

IPP_API IppStatus ippiCopy_8u_C1R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                  IppiSize roiSize);
IPP_API IppStatus ippiCopy_8u_P3C3R(const Ipp8u* const pSrc[3], int srcStep, Ipp8u* pDst,
                                    int dstStep, IppiSize roiSize);

// In-place mirror of a 3-channel picture; ippAxsVertical exchanges left and
// right, ippAxsHorizontal top and bottom, ippAxsBoth both.
IPP_API IppStatus ippiMirror_8u_C3IR(Ipp8u* pSrcDst, int srcDstStep, IppiSize roiSize,
                                     IppiAxis flip);

// Grey = coeffs[0] * c0 + coeffs[1] * c1 + coeffs[2] * c2, saturated to
// 0..255. When every w_i = lround(coeffs[i] * 32768) lies in -32768..32767
// (weights from -1 to just under 1), the sum is worked in 15-bit fixed point:
// grey = (w0 c0 + w1 c1 + w2 c2 + 16384) >> 15, exact in integers, which is
// within 0.512 of the real-valued sum (so a sum lying within 0.012 of a half
// may round either way; the greys 50, 150, 249 and 250 of the weights 0.33f
// each give one less than the real sum rounded). Other weights give the
// exact weighted sum rounded to nearest, halves up; a NaN weight gives 0.
IPP_API IppStatus ippiColorToGray_8u_C3C1R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                           IppiSize roiSize, const Ipp32f coeffs[3]);

IPP_API IppStatus ippiConvert_8u32f_C1R(const Ipp8u* pSrc, int srcStep, Ipp32f* pDst, int dstStep,
                                        IppiSize roiSize);
// Maps [vMin, vMax] linearly onto [0, 255], rounding to nearest with ties to
// even (0.5 -> 0, 1.5 -> 2, 2.5 -> 2) and saturating; NaN gives 0. With 0..255
// it is the plain rounded conversion of each float; other ranges are mapped
// in double, (v - vMin) * (255 / (vMax - vMin)), before the rounding. A range
// that is empty or not finite gives ippStsScaleRangeErr.
IPP_API IppStatus ippiScale_32f8u_C1R(const Ipp32f* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                      IppiSize roiSize, Ipp32f vMin, Ipp32f vMax);

IPP_API IppStatus ippiAbsDiff_8u_C1R(const Ipp8u* pSrc1, int src1Step, const Ipp8u* pSrc2,
                                     int src2Step, Ipp8u* pDst, int dstStep, IppiSize roiSize);

// Values below thresholdLT become valueLT, values above thresholdGT become
// valueGT; the rest stay. Should a value be both, the lower threshold wins.
IPP_API IppStatus ippiThreshold_LTValGTVal_8u_C1IR(Ipp8u* pSrcDst, int srcDstStep, IppiSize roiSize,
                                                   Ipp8u thresholdLT, Ipp8u valueLT,
                                                   Ipp8u thresholdGT, Ipp8u valueGT);

// acc = (1 - alpha) * acc + alpha * src in float: 1 - alpha and each
// product are rounded to float, then their sum (no fused multiply-add).
IPP_API IppStatus ippiAddWeighted_8u32f_C1IR(const Ipp8u* pSrc, int srcStep, Ipp32f* pSrcDst,
                                             int srcDstStep, IppiSize roiSize, Ipp32f alpha);

// Number of values v with lowerBound <= v <= upperBound, written to *counts
// (0 when lowerBound > upperBound). On any error *counts is left as it was.
IPP_API IppStatus ippiCountInRange_8u_C1R(const Ipp8u* pSrc, int srcStep, IppiSize roiSize,
                                          int* counts, Ipp8u lowerBound, Ipp8u upperBound);

// Each sample becomes (sample + value[channel]) / 2^scaleFactor, rounded to
// nearest (ties to even) and saturated. A negative scale factor multiplies.
IPP_API IppStatus ippiAddC_8u_C3IRSfs(const Ipp8u value[3], Ipp8u* pSrcDst, int srcDstStep,
                                      IppiSize roiSize, int scaleFactor);

// Nearest-neighbour resize; the destination region is dstRoiSize. Destination
// pixel (dx, dy) takes source pixel (floor(dx / xFactor), floor(dy / yFactor))
// of srcRoi, held inside srcRoi; when a factor is the ratio of the region
// lengths this is worked exactly in integers. srcRoi must lie inside srcSize.
// A step is only checked for a picture of more than one row, so one-row
// strips may pass any step. A factor that is not positive and finite, or an
// interpolation other than IPPI_INTER_NN, gives ippStsResizeFactorErr.
IPP_API IppStatus ippiResize_8u_C3R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep,
                                    IppiRect srcRoi, Ipp8u* pDst, int dstStep, IppiSize dstRoiSize,
                                    double xFactor, double yFactor, int interpolation);

}  // extern "C"
