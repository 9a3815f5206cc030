// Silhouette extraction: the player is whatever differs from the stored
// picture of the empty scene, compared in Y, U, V.
#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "play/game_filter.h"
#include "segmentation_pass.h"

void CGameFilter::SmoothFrame()
{
    const int w = Width(), h = Height();
    const IppiSize full{w, h}, half{w / 2, h / 2};
    for (int pass = 0, passes = cleanSize; pass < passes; ++pass) {
        int size = 0;
        ippiPyrDownGetBufSize_Gauss5x5(w, ipp8u, 3, &size);
        Ipp8u* scratch = static_cast<Ipp8u*>(std::malloc(static_cast<std::size_t>(size) + 1));
        ippiPyrDown_Gauss5x5_8u_C3R(frameImage.data, imageWidthStep, pyramidBuffer, pyramidStep,
                                    full, scratch);
        std::free(scratch);

        ippiPyrUpGetBufSize_Gauss5x5(half.width, ipp8u, 3, &size);
        scratch = static_cast<Ipp8u*>(std::malloc(static_cast<std::size_t>(size) + 1));
        ippiPyrUp_Gauss5x5_8u_C3R(pyramidBuffer, pyramidStep, frameImage.data, imageWidthStep, half,
                                  scratch);
        std::free(scratch);
    }
}

bool CGameFilter::ExtractSilhouette()
{
    const int w = Width(), h = Height();
    const IppiSize roi{w, h};
    contourStorage.Release();
    silhouetteImage.setTo(cv::Scalar::all(0));
    shapeBox = cv::Rect(0, 0, 1, 1);
    shape = {};

    const SegmentationPlanes planes{{yuvPlanes[0], yuvPlanes[1], yuvPlanes[2]},
                                    {backgroundPlanes[0], backgroundPlanes[1], backgroundPlanes[2]},
                                    maskPlane,
                                    planeStep};
    const SegmentationThresholds thresholds{yThresh, uThresh, vThresh};
    if (backgroundRequested.exchange(0, std::memory_order_acq_rel) != 0) {
        // This frame becomes the empty scene.
        ippiRGBToYUV_8u_C3P3R(frameImage.data, imageWidthStep, yuvPlanes, planeStep, roi);
        for (int i = 0; i < 3; ++i)
            ippiCopy_8u_C1R(yuvPlanes[i], planeStep, backgroundPlanes[i], planeStep, roi);
        SegmentPlanes(w, h, planes, thresholds, absDiffTable);
    } else {
        ConvertAndSegment(frameImage.data, imageWidthStep, w, h, planes, thresholds);
    }
    maskImage = cv::Mat(h, w, CV_8UC1, maskPlane, maskPlaneStep);

    if (showPlain == 1)
        return false;

    if (const int iterations = dilateIterations; iterations > 0) {
        // Beyond the frame's size more iterations change nothing, and an
        // absurd setting must not overflow the element OpenCV builds.
        const int n = std::min(iterations, std::max(w, h));
        if (dilate == 1)
            cv::dilate(maskImage, maskImage, cv::Mat(), cv::Point(-1, -1), n);
        if (erode == 1)
            cv::erode(maskImage, maskImage, cv::Mat(), cv::Point(-1, -1), n);
    }

    if (showMask == 1) {
        const Ipp8u* grey[3] = {maskPlane, maskPlane, maskPlane};
        ippiCopy_8u_P3C3R(grey, maskPlaneStep, frameImage.data, imageWidthStep, roi);
        return false;
    }

    cv::findContours(maskImage, contourStorage.contours, cv::RETR_EXTERNAL,
                     cv::CHAIN_APPROX_SIMPLE);
    if (multipleShapes == 1) {
        shapesImage.setTo(cv::Scalar::all(0));
        JoinShapes(contourStorage.contours, shapeBox, shapesImage);
        cv::findContours(shapesImage, contourStorage.joined, cv::RETR_EXTERNAL,
                         cv::CHAIN_APPROX_NONE);
        shape = SelectLargestShape(contourStorage.joined, shapeBox, silhouetteImage);
    } else {
        shape = SelectLargestShape(contourStorage.contours, shapeBox, silhouetteImage);
    }
    return true;
}
