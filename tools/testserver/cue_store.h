// The local lobby's cue store and Kred Box: every new user gets some Kred and the plain cue, may buy
// the other cues of a small catalogue and use any cue owned, and collects a Kred Box once its
// countdown has run out. Kept in memory until the lobby stops.
#pragma once

#include <chrono>
#include <map>
#include <string>

class CueStore {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kStartKred = 500;
    static constexpr int kBoxKred = 100;
    static constexpr int kCues = 8;  // the cue designs the client draws, 1 to 8

    // How long a new Kred Box stays closed.
    void setBoxSeconds(int seconds) { boxSeconds_ = seconds; }

    struct Account {
        int kred = kStartKred;
        int cue = 1;
        std::string owned;  // one digit per cue index, 1 owned; index 0 is no cue
        Clock::time_point boxOpens{};
    };
    // The user's account, opened on first use with the plain cue and a box on its way.
    const Account& account(const std::string& user, Clock::time_point now);

    enum class Answer { Done, NoSuchCue, AlreadyOwned, TooDear, NotOwned };
    Answer buy(const std::string& user, int cue);
    Answer use(const std::string& user, int cue);
    // The box's Kred when it is open, and the next box starts its countdown; 0 while it is closed.
    int collect(const std::string& user, Clock::time_point now);
    int secondsUntilBox(const std::string& user, Clock::time_point now);

    // The catalogue as the store page reads it: a list of {index, name, price, desc}.
    static std::string catalogue();
    static std::string cueName(int cue);
    static int price(int cue);

private:
    Account& open(const std::string& user, Clock::time_point now);

    std::map<std::string, Account> accounts_;
    int boxSeconds_ = 90;
};
