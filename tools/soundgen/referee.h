// The referee's announcements: what each of the 360 clips says and in which voice, and the table of
// start times that cuts the one referee file into those clips.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace soundgen {

constexpr int kRefereeClips = 360;

// Times are kept in centiseconds, the precision of the table.
constexpr int kMinGap = 44;
constexpr int kMaxGap = 163;
constexpr std::array<int, 12> kFirstStarts = {0, 113, 186, 262, 343, 417, 525, 634, 714, 803, 888, 976};
constexpr std::array<int, 8> kLastStarts = {36740, 36865, 36983, 37098, 37220, 37325, 37446, 37557};
// Clips kFirstFreeClip .. kFirstLastClip - 1 share the stretch between the given times.
constexpr int kFirstFreeClip = int(kFirstStarts.size()) - 1;
constexpr int kFirstLastClip = kRefereeClips - int(kLastStarts.size());

// Clip numbers the game relies on.
constexpr int kFrameVoice0 = 1;    // frames 1-35
constexpr int kFrameVoice1 = 36;
constexpr int kFrameVoice2 = 72;
constexpr int kNumberBase = 138;   // clip 138 + n says n

struct RefereeLine {
    int voice;  // 0, 1 or 2
    std::string text;
};

// Clip k's line, for k in 0..359.
std::vector<RefereeLine> refereeScript();

// "two hundred and fourteen": the words the referee says for n (0 to 999).
std::string numberWords(int n);

struct CutLayout {
    std::vector<int> starts;     // centiseconds, one per clip; empty unless everything fits
    std::vector<int> overfull;   // clips longer than their given slot or than the longest gap
    int freeExcess = 0;          // centiseconds by which the clips between the given times overrun them
    bool fits() const { return !starts.empty(); }
};

// need[k]: the centiseconds clip k takes with its silent edges. The given first and last times are
// kept; clips 11 to 351 share the stretch between them, every gap at least what its clip needs and
// within kMinGap..kMaxGap, the spare time going to the shortest gaps first so that the pace stays even.
CutLayout layoutCutTable(const std::vector<int>& need);

}  // namespace soundgen
