// Calls into operations of the game controller that other work adds (the status application, the
// start-match buttons, the line-up panel, the first-viewer flag). Each call is made when the
// operation exists and is otherwise only logged, so the replay and start-of-play code builds and runs
// before and after that work lands.
#pragma once

#include "client/gamehandler/game_handler.h"
#include "core/log.h"

#include <vector>

namespace optional_calls {

template <class G>
concept HasApplyGameStatus = requires(G& g, const GameStatus& s, const std::vector<int>* v) {
    g.applyGameStatus(s, 0, true, v, 0.0);
};
template <class G>
concept HasStartMatchButtons = requires(G& g) { g.updateStartMatchButtons(-1); };
template <class G>
concept HasOpenLineUp = requires(G& g) { g.openLineUp(); };
template <class G>
concept HasFirstViewerFlag = requires(G& g) { g.ownUserFirstViewer = false; };

// applyGameStatus on the replay path: an empty status, sequence 0, the recorded status values.
template <class G>
void applyReplayStatus(G& gh, const ReplayStatus& values, bool atEndOfShot, double replayT) {
    const std::vector<int> ints(values.begin(), values.end());
    const GameStatus empty;
    if constexpr (HasApplyGameStatus<G>) {
        gh.applyGameStatus(empty, 0, atEndOfShot, &ints, replayT);
    } else {
        const typename G::GameStatusApplier applier = G::setGameStatusApplier(nullptr);
        G::setGameStatusApplier(applier);
        if (applier)
            applier(gh, empty, 0, atEndOfShot, &ints, replayT);
        else
            BZ_LOG(LOG_INFO, "applyGameStatus", "No status application installed; replay status kept");
    }
}

template <class G>
void updateStartMatchButtons(G& gh, int value) {
    if constexpr (HasStartMatchButtons<G>)
        gh.updateStartMatchButtons(value);
    else
        BZ_LOG(LOG_INFO, "updateStartMatchButtons", "not available: " << value);
}

template <class G>
void openLineUp(G& gh) {
    if constexpr (HasOpenLineUp<G>)
        gh.openLineUp();
    else
        BZ_LOG(LOG_INFO, "openLineUp", "Opening LineUp (Match Stats) html window");
}

template <class G>
void clearOwnUserFirstViewer(G& gh) {
    if constexpr (HasFirstViewerFlag<G>) gh.ownUserFirstViewer = false;
}

}  // namespace optional_calls
