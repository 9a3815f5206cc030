// The play picture: the player's silhouette painted with the target picture,
// stretched row by row to the body's outline; the score lines; and the
// game-over shrink-out.
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <opencv2/imgproc.hpp>

#include "game_filter.h"

cv::Rect CGameFilter::shrinkRect{0, 0, 0, 0};

namespace {

// Runs of white (255 in all three bytes) in one row of a mask picture.
template <typename OnRun>
void ForEachWhiteRun(const cv::Mat& mask, int row, OnRun onRun)
{
    const cv::Vec3b* m = mask.ptr<cv::Vec3b>(row);
    const cv::Vec3b white(255, 255, 255);
    for (int x = 0; x < mask.cols;) {
        if (m[x] != white) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < mask.cols && m[x] == white)
            ++x;
        onRun(start, x - start);
    }
}

}  // namespace

// The span lists start with room for 25 runs a row on average; a silhouette
// with more grows its list (once, kept for later frames) rather than losing
// runs. With an empty colour picture only the spans and the byte count are
// made.
int CGameFilter::ExtractSpans(const cv::Mat& colour, const cv::Mat& mask,
                              std::vector<unsigned char>& pixels, std::vector<Span>& spans,
                              int& spanCount)
{
    int bytes = 0;
    spanCount = 0;
    for (int r = 0; r < mask.rows; ++r) {
        const unsigned char* src = colour.empty() ? nullptr : colour.ptr(r);
        ForEachWhiteRun(mask, r, [&](int start, int length) {
            if (spanCount == static_cast<int>(spans.size()))
                spans.resize(spans.size() * 2 + 16);
            spans[spanCount++] = {start, r, length};
            if (src)
                std::copy(src + 3 * start, src + 3 * (start + length), pixels.begin() + bytes);
            bytes += 3 * length;
        });
    }
    return bytes;
}

void CGameFilter::StretchSpans(int targetCount, int silhouetteCount, cv::Rect box)
{
    int a = 0, s = 0;
    std::size_t oa = 0, os = 0;
    for (int r = 0; r < box.height; ++r) {
        int la = 0, ls = 0;
        for (; a < targetCount && targetSpans[a].row == r; ++a)
            la += targetSpans[a].length;
        for (; s < silhouetteCount && silhouetteSpans[s].row == r; ++s)
            ls += silhouetteSpans[s].length;
        if (la > 0 && ls > 0)
            ippiResize_8u_C3R(targetPixels.data() + oa, {la, 1}, 3 * la, {0, 0, la, 1},
                              silhouettePixels.data() + os, 3 * ls, {ls, 1},
                              static_cast<double>(ls) / la, 1.0, IPPI_INTER_NN);
        oa += 3 * static_cast<std::size_t>(la);
        os += 3 * static_cast<std::size_t>(ls);
    }
}

void CGameFilter::PasteSpans(const std::vector<unsigned char>& pixels, int spanCount,
                             cv::Mat& destination, int bytes, int columnOffset, int rowOffset)
{
    int left = bytes / 3;
    std::size_t p = 0;
    for (int i = 0; i < spanCount && left > 0; ++i) {
        const Span& span = silhouetteSpans[i];
        const int n = std::min(span.length, left);
        const int row = rowOffset + span.row;
        left -= n;
        if (row < 0 || row >= destination.rows) {
            p += 3 * static_cast<std::size_t>(n);
            continue;
        }
        unsigned char* dst = destination.ptr(row);
        for (int k = 0; k < n; ++k, p += 3) {
            const int col = columnOffset + span.start + k;
            if (col >= 0 && col < destination.cols)
                std::copy(pixels.begin() + p, pixels.begin() + p + 3, dst + 3 * col);
        }
    }
}

// Every row of the box gets the whole matching row of the target picture
// (resized to the box), squeezed or stretched over the silhouette's runs in
// that row taken left to right as one strip. Only the shape's pixels change.
void CGameFilter::TextureSilhouette(cv::Rect box)
{
    const cv::Mat& target = levelImages[levelIndex];
    box &= cv::Rect(0, 0, Width(), Height());
    // A target picture that could not be loaded paints nothing.
    if (target.empty() || box.empty())
        return;
    cv::Mat resized;
    cv::resize(target, resized, box.size(), 0, 0, cv::INTER_NEAREST);
    // The target's spans are its whole rows: one run of the box's width each,
    // its pixels row after row.
    const int rowBytes = 3 * box.width;
    for (int r = 0; r < box.height; ++r) {
        targetSpans[r] = {0, r, box.width};
        std::memcpy(targetPixels.data() + static_cast<std::size_t>(r) * rowBytes,
                    resized.ptr(r), rowBytes);
    }
    // The silhouette's runs; their pixels are the stretched target rows, so
    // the frame's own pixels under them are not collected.
    int silhouetteCount = 0;
    const int bytes = ExtractSpans(cv::Mat(), silhouetteImage(box), silhouettePixels,
                                   silhouetteSpans, silhouetteCount);
    StretchSpans(box.height, silhouetteCount, box);
    PasteSpans(silhouettePixels, silhouetteCount, frameImage, bytes, box.x, box.y);
}

std::array<std::string, 2> CGameFilter::ScoreLines() const
{
    char scoreText[32], energyText[32];
    std::snprintf(scoreText, sizeof scoreText, "SCORE %6d", score);
    std::snprintf(energyText, sizeof energyText, "ENERGY %5d", energy);
    return {scoreText, energyText};
}

void CGameFilter::DrawScoreLines()
{
    const std::array<std::string, 2> lines = ScoreLines();
    const int w = Width(), h = Height();
    // Only the first rows of the picture hold glyphs: the rest of it stays
    // black and XOR with black changes nothing, so the work is confined to
    // a strip deep enough for both lines and their descenders. The strip is
    // drawn and turned again only when a line has changed.
    if (lines != scoreStripLines || scoreStrip.cols != w) {
        const int font = cv::FONT_HERSHEY_SIMPLEX;
        int d1 = 0, d2 = 0;
        const cv::Size s1 = cv::getTextSize(lines[0], font, 1.0, 2, &d1);
        const cv::Size s2 = cv::getTextSize(lines[1], font, 1.0, 2, &d2);
        const int depth = std::min(h, d2 + 2 * s2.height + d2 + 4);
        cv::Mat strip = hudImage(cv::Rect(0, 0, w, depth));
        strip.setTo(cv::Scalar::all(0));
        cv::putText(strip, lines[0], {w - s1.width, s1.height + d1}, font, 1.0,
                    cv::Scalar::all(255), 2, cv::LINE_8);
        cv::putText(strip, lines[1], {w - s2.width, d2 + 2 * s2.height}, font, 1.0,
                    cv::Scalar::all(255), 2, cv::LINE_8);
        // Half a turn puts the strip at the bottom of the buffer, mirrored.
        cv::flip(strip, scoreStrip, -1);
        scoreStripLines = lines;
    }
    // The glyphs invert the picture under them.
    const cv::Rect bottom(0, h - scoreStrip.rows, w, scoreStrip.rows);
    cv::Mat under = frameImage(bottom);
    cv::bitwise_xor(scoreStrip, under, under);
}

void CGameFilter::ShrinkOut()
{
    const cv::Rect whole(0, 0, Width(), Height());
    // First use, or a frame size that changed since the last animation.
    if (shrinkRect.empty() || (shrinkRect & whole) != shrinkRect)
        shrinkRect = whole;
    shrinkImage.setTo(cv::Scalar::all(0));
    cv::Mat into = shrinkImage(shrinkRect);
    cv::resize(canvasImage, into, into.size(), 0, 0, cv::INTER_NEAREST);
    shrinkImage.copyTo(frameImage);
    shrinkRect = {shrinkRect.x + 1, shrinkRect.y + 1, shrinkRect.width - 2,
                  shrinkRect.height - 2};
    if (shrinkRect.width <= 1 || shrinkRect.height <= 1) {
        shrinkRect = whole;
        gameState = kBonusTally;
    }
}
