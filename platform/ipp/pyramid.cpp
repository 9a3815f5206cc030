// Gaussian 5x5 pyramid steps of 3-channel 8-bit pictures, over OpenCV's
// pyramids on headers that wrap the callers' buffers. OpenCV weights each axis
// with [1 4 6 4 1]/16, mirrors the picture about its edge pixels (reflect-101)
// and rounds the normalised sum to nearest, halves up; the up step mirrors the
// zero-interleaved 2W x 2H picture. The scratch buffer is not needed.
#include <cstdint>
#include <exception>
#include <new>

#include <opencv2/imgproc.hpp>

#include "ipp.h"

namespace {

// OpenCV keeps its own working rows, so the scratch goes unused; its size
// stays positive so that a caller allocating it gets a real pointer to pass.
constexpr int kScratchBytes = 64;

IppStatus ScratchSize(int roiWidth, IppDataType dataType, int channels, int* pBufSize) {
    if (pBufSize == nullptr)
        return ippStsNullPtrErr;
    // The enumeration has no data-type or channel status; a pyramid of
    // anything but 8-bit, 1 to 4 channels is reported as a size error.
    if (roiWidth < 1 || dataType != ipp8u || channels < 1 || channels > 4)
        return ippStsSizeErr;
    *pBufSize = kScratchBytes;
    return ippStsNoErr;
}

// Checked in 64 bits: twice the width times three bytes overflows an int long
// before the width itself does.
IppStatus Picture(int width, int height, int step) {
    if (width < 1 || height < 1)
        return ippStsSizeErr;
    if (step < std::int64_t{3} * width)
        return ippStsStepErr;
    return ippStsNoErr;
}

cv::Mat Wrap(const Ipp8u* data, IppiSize size, int step) {
    return cv::Mat(size.height, size.width, CV_8UC3, const_cast<Ipp8u*>(data),
                   static_cast<size_t>(step));
}

// Runs an OpenCV step from one wrapped buffer into another. OpenCV reports
// trouble by exception, which must not cross the C interface. A destination
// header of the right size and type is filled in place; should OpenCV ever
// allocate a new picture instead, the result would miss the caller's buffer,
// so that is an error too.
template <typename Step>
IppStatus Run(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, Ipp8u* pDst, IppiSize dstSize,
              int dstStep, Step step) {
    try {
        cv::Mat dst = Wrap(pDst, dstSize, dstStep);
        step(Wrap(pSrc, srcSize, srcStep), dst);
        return dst.data == pDst ? ippStsNoErr : ippStsSizeErr;
    } catch (const std::bad_alloc&) {
        return ippStsMemAllocErr;
    } catch (const std::exception&) {
        return ippStsSizeErr;
    }
}

}  // namespace

IppStatus ippiPyrDownGetBufSize_Gauss5x5(int roiWidth, IppDataType dataType, int channels,
                                         int* pBufSize) {
    return ScratchSize(roiWidth, dataType, channels, pBufSize);
}

IppStatus ippiPyrUpGetBufSize_Gauss5x5(int roiWidth, IppDataType dataType, int channels,
                                       int* pBufSize) {
    return ScratchSize(roiWidth, dataType, channels, pBufSize);
}

IppStatus ippiPyrDown_Gauss5x5_8u_C3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                      IppiSize roi, Ipp8u* pBuffer) {
    if (pSrc == nullptr || pDst == nullptr || pBuffer == nullptr)
        return ippStsNullPtrErr;
    const int dstWidth = roi.width / 2, dstHeight = roi.height / 2;
    if (IppStatus s = Picture(roi.width, roi.height, srcStep); s != ippStsNoErr)
        return s;
    if (IppStatus s = Picture(dstWidth, dstHeight, dstStep); s != ippStsNoErr)
        return s;
    return Run(pSrc, roi, srcStep, pDst, {dstWidth, dstHeight}, dstStep,
               [](const cv::Mat& src, cv::Mat& dst) {
                   cv::pyrDown(src, dst, dst.size(), cv::BORDER_REFLECT_101);
               });
}

IppStatus ippiPyrUp_Gauss5x5_8u_C3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep,
                                    IppiSize roi, Ipp8u* pBuffer) {
    if (pSrc == nullptr || pDst == nullptr || pBuffer == nullptr)
        return ippStsNullPtrErr;
    if (IppStatus s = Picture(roi.width, roi.height, srcStep); s != ippStsNoErr)
        return s;
    // A doubled side must still be an int.
    if (roi.width > INT32_MAX / 2 || roi.height > INT32_MAX / 2)
        return ippStsSizeErr;
    const int dstWidth = 2 * roi.width, dstHeight = 2 * roi.height;
    if (IppStatus s = Picture(dstWidth, dstHeight, dstStep); s != ippStsNoErr)
        return s;
    return Run(pSrc, roi, srcStep, pDst, {dstWidth, dstHeight}, dstStep,
               [](const cv::Mat& src, cv::Mat& dst) {
                   cv::pyrUp(src, dst, dst.size(), cv::BORDER_REFLECT_101);
               });
}
