// The local lobby's side of the cue store and the Kred Box: the figures and the catalogue at login,
// "/buy N" and "/cue N" from the chat (the store page itself sends no purchase), and the box's
// collection.
#include "tools/testserver/local_lobby.h"

#include <sstream>

Message LocalLobby::cueKredInfo(const std::string& user) {
    const CueStore::Account& a = store_.account(user, CueStore::Clock::now());
    return Message::initInfo(nextIid_++, InfoCode::INFO_CODE_CUE_KRED_INFO, a.cue, a.kred, "{}", a.owned);
}

Message LocalLobby::kredBoxInfo(const std::string& user) {
    return Message::initInfo(nextIid_++, InfoCode::KRED_BOX_INFO, CueStore::kBoxKred,
                             store_.secondsUntilBox(user, CueStore::Clock::now()), "", "");
}

void LocalLobby::greetStore(std::vector<OutgoingMessage>& out, int connection, const std::string& user) {
    out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::INFO_CODE_CUE_LIST_INFO, 0, 0,
                                                 CueStore::catalogue(), "")});
    out.push_back({connection, cueKredInfo(user)});
    out.push_back({connection, kredBoxInfo(user)});
    // The cues of those already here, so that the newcomer draws each player's own.
    for (const auto& [other, member] : members_) {
        if (other == connection) continue;
        const int cue = store_.account(member.user, CueStore::Clock::now()).cue;
        out.push_back({connection,
                       Message::initInfo(nextIid_++, InfoCode::INFO_CODE_CURRENT_CUE_INFO, cue, 0, member.user, "")});
    }
}

bool LocalLobby::onStoreCommand(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                                const std::string& text) {
    std::istringstream in(text);
    std::string word;
    int cue = 0;
    in >> word;
    if (word != "/buy" && word != "/cue") return false;
    const int tableId = members_[connection].tableId;
    if (!(in >> cue)) {
        out.push_back({connection, notice("Type " + word + " and the cue's number in the store (1 to 8).", tableId)});
        return true;
    }
    const bool buying = word == "/buy";
    const CueStore::Answer answer = buying ? store_.buy(user, cue) : store_.use(user, cue);
    const std::string name = CueStore::cueName(cue);
    std::string said;
    switch (answer) {
        case CueStore::Answer::Done:
            said = buying ? "You bought the " + name + " for " + std::to_string(CueStore::price(cue)) +
                                " Kred. Type /cue " + std::to_string(cue) + " to play with it."
                          : "You now play with the " + name + ".";
            out.push_back({connection, Message::initInfo(nextIid_++, buying ? InfoCode::INFO_CODE_CUE_PURCHASED
                                                                            : InfoCode::INFO_CODE_CUE_USED,
                                                         cue, 0, "", "")});
            out.push_back({connection, cueKredInfo(user)});
            if (!buying)
                toAll(out, Message::initInfo(nextIid_++, InfoCode::INFO_CODE_CURRENT_CUE_INFO, cue, 0, user, ""));
            break;
        case CueStore::Answer::NoSuchCue: said = "The store has cues 1 to 8."; break;
        case CueStore::Answer::AlreadyOwned: said = "The " + name + " is already yours."; break;
        case CueStore::Answer::TooDear:
            said = "The " + name + " costs " + std::to_string(CueStore::price(cue)) + " Kred; you have " +
                   std::to_string(store_.account(user, CueStore::Clock::now()).kred) + ".";
            break;
        case CueStore::Answer::NotOwned: said = "Buy the " + name + " first: /buy " + std::to_string(cue) + "."; break;
    }
    out.push_back({connection, notice(said, tableId)});
    return true;
}

void LocalLobby::collectKredBox(std::vector<OutgoingMessage>& out, int connection) {
    const std::string& user = members_[connection].user;
    const int kred = store_.collect(user, CueStore::Clock::now());
    const int tableId = members_[connection].tableId;
    if (kred == 0) {
        out.push_back({connection, notice("The Kred Box is not open yet.", tableId)});
        return;
    }
    out.push_back({connection, notice("You collected " + std::to_string(kred) + " Kred.", tableId)});
    out.push_back({connection, cueKredInfo(user)});
    // The next box starts its countdown.
    out.push_back({connection, kredBoxInfo(user)});
}
