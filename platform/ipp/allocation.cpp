// Aligned image allocation: rows start on 32-byte boundaries and the memory
// is zeroed, so a row's padding never holds stale bytes.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ipp.h"

namespace {

constexpr std::size_t kRowAlign = 32;

void* AllocateImage(int width, int height, int bytesPerPixel, int* pStepBytes)
{
    if (pStepBytes == nullptr || width < 1 || height < 1)
        return nullptr;
    std::size_t row = static_cast<std::size_t>(width) * bytesPerPixel;
    std::size_t step = (row + kRowAlign - 1) / kRowAlign * kRowAlign;
    if (step > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        step > std::numeric_limits<std::size_t>::max() / static_cast<std::size_t>(height))
        return nullptr;
    std::size_t bytes = step * static_cast<std::size_t>(height);
    void* data = std::aligned_alloc(kRowAlign, bytes);
    if (data == nullptr)
        return nullptr;
    std::memset(data, 0, bytes);
    *pStepBytes = static_cast<int>(step);
    return data;
}

}  // namespace

Ipp8u* ippiMalloc_8u_C1(int width, int height, int* pStepBytes)
{
    return static_cast<Ipp8u*>(AllocateImage(width, height, 1, pStepBytes));
}

Ipp8u* ippiMalloc_8u_C3(int width, int height, int* pStepBytes)
{
    return static_cast<Ipp8u*>(AllocateImage(width, height, 3, pStepBytes));
}

Ipp32f* ippiMalloc_32f_C1(int width, int height, int* pStepBytes)
{
    return static_cast<Ipp32f*>(AllocateImage(width, height, sizeof(Ipp32f), pStepBytes));
}

void ippiFree(void* ptr) { std::free(ptr); }
