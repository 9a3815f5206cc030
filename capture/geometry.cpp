// The frame geometry that every filter reads.
#include "capture_internal.h"

int COrvexFilter::imageWidth = 0;
int COrvexFilter::imageHeight = 0;
int COrvexFilter::imageChannels = 0;
int COrvexFilter::imageBitDepth = 0;
int COrvexFilter::imageByteDepth = 0;
int COrvexFilter::imageAlign = 0;
int COrvexFilter::imagePixelCount = 0;
int COrvexFilter::imagePixelSize = 0;
int COrvexFilter::imageWidthStep = 0;
int COrvexFilter::imageSize = 0;

void orvexSetImageGeometry(int width, int height) { OrvexFilterAccess::SetGeometry(width, height); }

void OrvexFilterAccess::SetGeometry(int width, int height)
{
    COrvexFilter::imageWidth = width;
    COrvexFilter::imageHeight = height;
    COrvexFilter::imageChannels = 3;
    COrvexFilter::imageBitDepth = 8;
    COrvexFilter::imageByteDepth = 1;
    COrvexFilter::imageAlign = 4;
    COrvexFilter::imagePixelCount = width * height;
    COrvexFilter::imagePixelSize = 3;
    COrvexFilter::imageWidthStep = (3 * width + 3) & ~3;
    COrvexFilter::imageSize = 3 * width * height;
}
