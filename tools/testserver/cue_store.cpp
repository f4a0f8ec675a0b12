#include "tools/testserver/cue_store.h"

#include <algorithm>

namespace {

struct CueEntry {
    const char* name;
    int price;
    const char* text;
};

// Index 1 is everyone's first cue. Each index is the design the clients draw for it: the name and
// the text say what that design looks like.
constexpr CueEntry kCatalogue[CueStore::kCues] = {
    {"Club Ebony", 0, "The plain cue every player starts with: a black butt under a gold ring."},
    {"Rosewood Splice", 150, "Red-brown rosewood points under a silver ring."},
    {"Ivory Line", 250, "Pale shaft with a fine black butt in six points."},
    {"Golden Walnut", 300, "Light walnut butt under a gold ring."},
    {"Diamond Night", 400, "Black butt with white inlaid diamonds."},
    {"Crimson Oak", 600, "Red-stained oak in eight points, a gold ring over the joint."},
    {"Blue Heron", 800, "Deep blue painted butt with gold inlays."},
    {"Snow Crown", 1000, "White painted butt with black inlays, the finest of the house."},
};

bool validCue(int cue) { return cue >= 1 && cue <= CueStore::kCues; }

}  // namespace

CueStore::Account& CueStore::open(const std::string& user, Clock::time_point now) {
    auto [it, added] = accounts_.try_emplace(user);
    if (added) {
        it->second.owned = std::string(kCues + 1, '0');
        it->second.owned[1] = '1';
        it->second.boxOpens = now + std::chrono::seconds(boxSeconds_);
    }
    return it->second;
}

const CueStore::Account& CueStore::account(const std::string& user, Clock::time_point now) { return open(user, now); }

CueStore::Answer CueStore::buy(const std::string& user, int cue) {
    if (!validCue(cue)) return Answer::NoSuchCue;
    Account& a = open(user, Clock::now());
    if (a.owned[cue] == '1') return Answer::AlreadyOwned;
    if (a.kred < price(cue)) return Answer::TooDear;
    a.kred -= price(cue);
    a.owned[cue] = '1';
    return Answer::Done;
}

CueStore::Answer CueStore::use(const std::string& user, int cue) {
    if (!validCue(cue)) return Answer::NoSuchCue;
    Account& a = open(user, Clock::now());
    if (a.owned[cue] != '1') return Answer::NotOwned;
    a.cue = cue;
    return Answer::Done;
}

int CueStore::collect(const std::string& user, Clock::time_point now) {
    Account& a = open(user, now);
    if (now < a.boxOpens) return 0;
    a.kred += kBoxKred;
    a.boxOpens = now + std::chrono::seconds(boxSeconds_);
    return kBoxKred;
}

int CueStore::secondsUntilBox(const std::string& user, Clock::time_point now) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(open(user, now).boxOpens - now).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

std::string CueStore::catalogue() {
    std::string list = "[";
    for (int i = 1; i <= kCues; ++i) {
        const CueEntry& c = kCatalogue[i - 1];
        if (i > 1) list += ",";
        list += "{\"index\":" + std::to_string(i) + ",\"name\":\"" + c.name + "\",\"price\":" +
                std::to_string(c.price) + ",\"desc\":\"" + c.text + "\"}";
    }
    return list + "]";
}

std::string CueStore::cueName(int cue) { return validCue(cue) ? kCatalogue[cue - 1].name : ""; }

int CueStore::price(int cue) { return validCue(cue) ? kCatalogue[cue - 1].price : 0; }
