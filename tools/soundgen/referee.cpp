#include "tools/soundgen/referee.h"

#include <algorithm>

namespace soundgen {
namespace {


const char* const kOnes[] = {"zero",    "one",     "two",       "three",    "four",
                             "five",    "six",     "seven",     "eight",    "nine",
                             "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                             "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const kTens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string capitalised(std::string s) {
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = char(s[0] - 'a' + 'A');
    return s;
}

}  // namespace

std::string numberWords(int n) {
    if (n < 20) return kOnes[n];
    if (n < 100) return std::string(kTens[n / 10]) + (n % 10 ? std::string(" ") + kOnes[n % 10] : "");
    const std::string hundreds = std::string(kOnes[n / 100]) + " hundred";
    return n % 100 ? hundreds + " and " + numberWords(n % 100) : hundreds;
}

std::vector<RefereeLine> refereeScript() {
    std::vector<RefereeLine> lines(kRefereeClips);
    lines[0] = {0, "Single frame match."};
    for (int frame = 1; frame <= 35; ++frame) {
        const std::string text = "Frame " + numberWords(frame) + ".";
        lines[kFrameVoice0 + frame - 1] = {0, text};
        lines[kFrameVoice1 + frame - 1] = {1, text};
        lines[kFrameVoice2 + frame - 1] = {2, text};
    }
    lines[71] = {2, "Ladies and gentlemen."};
    const char* const calls[] = {
        "Deciding frame.",                        // 107
        "Your turn to play.",                     // 108
        "Player one.",                            // 109, the seats
        "Player two.",                            // 110
        "Player one to break.",                   // 111
        "Player two to break.",                   // 112
        "Yellow.", "Green.", "Brown.", "Blue.",   // 113-120: 111 + the nominated ball's id
        "Pink.", "Black.", "Orange.", "Purple.",
        "Attention, please.",                     // 121, also before a warning
        "Shot clock in operation.",               // 122
        "Time out.",                              // 123
        "Foul.",                                  // 124
        "Free ball.",                             // 125
        "Foul and a miss.",                       // 126
        "Please nominate.",                       // 127
        "Miss.",                                  // 128
        "Touching ball.",                         // 129
        "Frame conceded.",                        // 130
        "Match conceded.",                        // 131
        "Scores level. Re-spotted black.",        // 132
        "Scores level. Final colour re-spotted.", // 133, the game with the two extra colours
        "Wins the frame.",                        // 134, after the winner's score
        "Frame and match.",                       // 135
        "Re-rack.",                               // 136
        "Thank you.",                             // 137
    };
    static_assert(std::size(calls) == kNumberBase - 107);
    for (int i = 0; i < int(std::size(calls)); ++i) lines[107 + i] = {0, calls[i]};
    for (int k = kNumberBase; k < kRefereeClips; ++k) lines[k] = {0, capitalised(numberWords(k - kNumberBase)) + "."};
    return lines;
}

CutLayout layoutCutTable(const std::vector<int>& need) {
    CutLayout layout;
    if (int(need.size()) != kRefereeClips) return layout;
    for (int k = 0; k < kFirstFreeClip; ++k)
        if (need[k] > kFirstStarts[k + 1] - kFirstStarts[k]) layout.overfull.push_back(k);
    for (int k = kFirstFreeClip; k < kFirstLastClip; ++k)
        if (need[k] > kMaxGap) layout.overfull.push_back(k);
    for (int k = kFirstLastClip; k + 1 < kRefereeClips; ++k)
        if (need[k] > kLastStarts[k - kFirstLastClip + 1] - kLastStarts[k - kFirstLastClip]) layout.overfull.push_back(k);
    if (!layout.overfull.empty()) return layout;

    // Water-filling: the highest level L with sum(max(L, lower)) within the stretch, then the
    // remaining centiseconds one each to the gaps at L, first come first served.
    const int total = kLastStarts[0] - kFirstStarts.back();
    std::vector<int> lower(need.begin() + kFirstFreeClip, need.begin() + kFirstLastClip);
    for (int& v : lower) v = std::max(v, kMinGap);
    const auto filled = [&](int level) {
        int sum = 0;
        for (int v : lower) sum += std::max(v, level);
        return sum;
    };
    if (filled(kMinGap) > total) {
        layout.freeExcess = filled(kMinGap) - total;
        return layout;
    }
    int level = kMinGap;
    while (level < kMaxGap && filled(level + 1) <= total) ++level;
    std::vector<int> gaps(lower.size());
    for (size_t i = 0; i < lower.size(); ++i) gaps[i] = std::max(lower[i], level);
    int spare = total - filled(level);
    for (size_t i = 0; i < gaps.size() && spare > 0; ++i)
        if (gaps[i] == level && level < kMaxGap) ++gaps[i], --spare;
    if (spare > 0) return layout;  // cannot happen with 341 gaps of at most kMaxGap

    layout.starts.assign(kFirstStarts.begin(), kFirstStarts.end());
    for (size_t i = 0; i + 1 < gaps.size(); ++i) layout.starts.push_back(layout.starts.back() + gaps[i]);
    layout.starts.insert(layout.starts.end(), kLastStarts.begin(), kLastStarts.end());
    return layout;
}

}  // namespace soundgen
