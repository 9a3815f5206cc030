// The list of the five most evil players, its file, and the name entry.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <string>

#include "game_filter.h"
#include "shell/atomic_file.h"
#include "vision/motion_button.h"

namespace {

constexpr const char* kHighScoreFile = "highscore.txt";
constexpr const char* kDefaultName = "Kragmoor";
constexpr const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
constexpr int kLetters = 27;
constexpr int kClipStep = 1, kClipChoose = 2;
constexpr int kPrevSlot = 0, kLetterSlot = 1, kNextSlot = 2, kEnterSlot = 3, kTypedSlot = 4;
constexpr std::size_t kMaxFileBytes = 64 * 1024;  // far beyond five lines; more is ignored

void SetName(HighScoreEntry& e, const std::string& name)
{
    // Eleven characters fit; a longer name is cut, never overrun.
    const std::size_t n = std::min(name.size(), sizeof e.name - 1);
    std::memcpy(e.name, name.data(), n);
    e.name[n] = '\0';
}

// Reads "%d %s" pairs the way scanf would: white space separates, and the
// first field that cannot be read ends the reading.
void ParseHighScores(const std::string& text, HighScoreEntry (&entries)[5])
{
    std::size_t pos = 0;
    auto skipSpace = [&] {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
    };
    for (HighScoreEntry& e : entries) {
        skipSpace();
        std::size_t end = pos;
        if (end < text.size() && (text[end] == '-' || text[end] == '+'))
            ++end;
        const std::size_t digits = end;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (end == digits)
            return;
        e.score = static_cast<int>(std::clamp(std::strtoll(text.substr(pos, end - pos).c_str(),
                                                           nullptr, 10),
                                              static_cast<long long>(INT_MIN),
                                              static_cast<long long>(INT_MAX)));
        pos = end;
        skipSpace();
        end = pos;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
            ++end;
        if (end == pos)
            return;
        SetName(e, text.substr(pos, end - pos));
        pos = end;
    }
}

std::string FormatHighScores(const HighScoreEntry (&entries)[5])
{
    std::string text;
    for (const HighScoreEntry& e : entries) {
        // An entry never read has no name; written empty, it would shift
        // every later field on reading.
        text += std::to_string(e.score) + ' ' + (e.name[0] ? e.name : kDefaultName) + '\n';
    }
    return text;
}

}  // namespace

void CGameFilter::ReadHighScores()
{
    std::ifstream file(kHighScoreFile, std::ios::binary);
    if (file) {
        std::string text(kMaxFileBytes, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(file.gcount()));
        ParseHighScores(text, highScores);
        ++highScoresVersion;
        return;
    }
    // Missing: the defaults, in memory and on disk. When the file cannot be
    // created either, the defaults stay in memory.
    for (HighScoreEntry& e : highScores) {
        e.score = 0;
        SetName(e, kDefaultName);
    }
    ++highScoresVersion;
    WriteFileAtomically(kHighScoreFile, FormatHighScores(highScores));
}

bool CGameFilter::QualifiesForHighScores(int finalScore) const
{
    for (const HighScoreEntry& e : highScores)
        if (finalScore >= e.score)
            return true;
    return false;
}

// The new entry goes above the first entry it reaches (above equal scores,
// so a score equal to the lowest still enters); the lowest drops off. The
// file is rewritten whole.
void CGameFilter::EnterHighScore(int finalScore, const char* name)
{
    int rank = 0;
    while (rank < 5 && highScores[rank].score > finalScore)
        ++rank;
    if (rank == 5)
        return;
    for (int i = 4; i > rank; --i)
        highScores[i] = highScores[i - 1];
    highScores[rank].score = finalScore;
    SetName(highScores[rank], name);
    ++highScoresVersion;
    WriteFileAtomically(kHighScoreFile, FormatHighScores(highScores));
}

void CGameFilter::DrawHighScoreList()
{
    // Drawn again only when the list has changed.
    if (!listFrame.Holds(cv::Mat(), highScoresVersion, frameImage.size())) {
        cv::Mat& list = listFrame.picture;
        list = cv::Mat::zeros(frameImage.size(), CV_8UC3);
        const int h = list.rows;
        const int font = cv::FONT_HERSHEY_SIMPLEX;
        const cv::Scalar white = cv::Scalar::all(255);
        cv::putText(list, "List of most evil", {30, 25}, font, 1.0, white, 2, cv::LINE_8);
        char line[48];
        for (int i = 4; i >= 0; --i) {
            std::snprintf(line, sizeof line, "%6d .... %s", highScores[i].score,
                          highScores[i].name);
            cv::putText(list, line, {0, h - 50 - 30 * (4 - i)}, font, 1.0, white, 2, cv::LINE_8);
        }
        cv::flip(list, list, 0);  // upright on the bottom-up display
        listFrame.Remember(cv::Mat(), highScoresVersion);
    }
    listFrame.picture.copyTo(frameImage);
}

void CGameFilter::NameEntryScreen()
{
    if (buttons == nullptr)
        return;
    ScreenState& s = screens;
    const int w = Width(), h = Height();
    const float sensitivity = buttonSensitivity;
    if (!s.nameEntryStarted) {
        buttons->ResetSlots();
        buttons->ResetBackground();
        std::memset(s.typedName, 0, sizeof s.typedName);
        s.letterIndex = 0;
        s.namePos = 0;
        s.nameEntryStarted = true;
    }
    buttons->Update();
    if (GreyButton({0, h - 50, 40, 40}, sensitivity, "<", {10, h - 20}, 1.0f, 2, 20, kPrevSlot) ==
        kPrevSlot) {
        PlayClip(kClipStep, 0, -500);
        --s.letterIndex;
    }
    if (s.letterIndex < 0)
        s.letterIndex = kLetters - 1;
    const char letter[2] = {kAlphabet[s.letterIndex], '\0'};
    if (GreyButton({80, h - 50, 40, 40}, sensitivity, letter, {92, h - 20}, 1.0f, 2, 20,
                   kLetterSlot) == kLetterSlot) {
        PlayClip(kClipChoose, 0, -500);
        s.typedName[s.namePos] = letter[0];
        s.namePos = (s.namePos + 1) % 9;
    }
    if (GreyButton({160, h - 50, 40, 40}, sensitivity, ">", {170, h - 20}, 1.0f, 2, 20,
                   kNextSlot) == kNextSlot) {
        PlayClip(kClipStep, 0, -500);
        s.letterIndex = (s.letterIndex + 1) % kLetters;
    }
    if (s.typedName[0] != '\0' &&
        GreyButton({w - 55, h - 50, 55, 40}, sensitivity, "ENTER", {w - 50, h - 25}, 0.5f, 1, 20,
                   kEnterSlot) == kEnterSlot) {
        PlayClip(kClipChoose, 0, -500);
        EnterHighScore(score, s.typedName);
        ResetGame();
        gameState = kAttract;
        s.nameEntryStarted = false;
    }
    GreyButton({0, 0, 0, 0}, 0.1f, s.typedName, {w / 2 - 100, h / 2 - 20}, 1.0f, 2, 30,
               kTypedSlot);
}
