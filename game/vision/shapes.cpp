// Choosing the player's shape among the mask's outer contours, and joining
// several large shapes into one.
#include <opencv2/imgproc.hpp>
#include <vector>

#include "play/game_filter.h"

Shape CGameFilter::SelectLargestShape(const std::vector<std::vector<cv::Point>>& contours,
                                      cv::Rect& box, cv::Mat& target)
{
    int best = -1;
    long bestArea = kMinShapeArea;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        box = cv::boundingRect(contours[i]);
        const long area = static_cast<long>(box.width) * box.height;
        if (area > bestArea) {
            best = static_cast<int>(i);
            bestArea = area;
        }
    }
    if (best < 0)
        return {};
    box = cv::boundingRect(contours[best]);
    cv::drawContours(target, contours, best, cv::Scalar::all(255), cv::FILLED, cv::LINE_8);
    return {&contours, best};
}

namespace {

// A shape's extremes towards the buffer corners (0, 0) and (W, 0).
struct JoinSlot {
    cv::Point left{5000, 5000};
    cv::Point right{0, 5000};
};

}  // namespace

// The slot table grows with the shapes, so every large shape is joined
// however many there are; slot 0 stays a sentinel as in a fixed table.
void CGameFilter::JoinShapes(const std::vector<std::vector<cv::Point>>& contours, cv::Rect& box,
                             cv::Mat& target)
{
    const int w = Width();
    std::vector<JoinSlot> slots(2);
    int count = 0;
    for (std::size_t c = 0; c < contours.size(); ++c) {
        box = cv::boundingRect(contours[c]);
        if (static_cast<long>(box.width) * box.height <= kMinShapeArea)
            continue;
        cv::drawContours(target, contours, static_cast<int>(c), cv::Scalar::all(255), cv::FILLED,
                         cv::LINE_8);
        ++count;
        slots.resize(count + 1);
        JoinSlot& slot = slots[count];
        for (const cv::Point& p : contours[c]) {
            if (p.x + p.y < slot.left.x + slot.left.y)
                slot.left = p;
            if ((w - p.x) + p.y < (w - slot.right.x) + slot.right.y)
                slot.right = p;
        }
        // Slots 0 .. count - 1 stay ordered by the right point's x, largest
        // first; slot `count` ends with the starting values.
        for (int i = 0; i < count; ++i)
            if (slots[count].right.x > slots[i].right.x)
                std::swap(slots[count], slots[i]);
    }
    for (int i = 0; i + 1 < count; ++i)
        cv::line(target, slots[i].left, slots[i + 1].right, cv::Scalar::all(255), 1, cv::LINE_8);
}
