// The local lobby's people: whispers ("/w NAME TEXT"), the friends and blocked users of each
// account with the chat held back from those who blocked its sender, the country and text saved in
// My account, and the bio of a user with the frames played here.
#include "tools/testserver/local_lobby.h"

#include "core/text.h"

#include <algorithm>

namespace {

constexpr ChatClass kOwnWhisperClass = static_cast<ChatClass>(2);

// "/w NAME TEXT": false when the text is no whisper; the name or the text may be empty.
bool readWhisper(const std::string& text, std::string& name, std::string& said) {
    if (text != "/w" && text.rfind("/w ", 0) != 0) return false;
    const size_t nameStart = text.find_first_not_of(' ', 2);
    if (nameStart == std::string::npos) return true;
    const size_t nameEnd = std::min(text.find(' ', nameStart), text.size());
    name = text.substr(nameStart, nameEnd - nameStart);
    const size_t saidStart = text.find_first_not_of(' ', nameEnd);
    if (saidStart != std::string::npos) said = text.substr(saidStart);
    return true;
}

}  // namespace

std::vector<int> LocalLobby::connectionsOf(const std::string& user) const {
    std::vector<int> found;
    for (const auto& [connection, member] : members_)
        if (member.user == user) found.push_back(connection);
    return found;
}

bool LocalLobby::heldBack(int connection, const std::string& sender) const {
    auto member = members_.find(connection);
    return member != members_.end() && people_.blocks(member->second.user, sender);
}

bool LocalLobby::onWhisper(std::vector<OutgoingMessage>& out, int connection, const std::string& user,
                           const std::string& text) {
    std::string name, said;
    if (!readWhisper(text, name, said)) return false;
    const int tableId = members_[connection].tableId;
    if (name.empty() || said.empty()) {
        out.push_back({connection, notice("Type /w, the player's name and the message.", tableId)});
        return true;
    }
    const std::vector<int> to = connectionsOf(name);
    if (to.empty()) {
        // A notice keeps its markup in the client: the typed name is shown as text.
        out.push_back({connection, notice("Unknown user " + escapeHtml(name) + ": the whisper was not sent.", tableId)});
        return true;
    }
    // A whisper is a private line wherever the two are, so tableId 0: the lobby chat, and the table
    // chat too at a table.
    const Message whisper = Message::initChat(nextIid_++, 0, ChatClass::PRIVATE, 0, user, 0, said, "", "", "", "");
    if (!people_.blocks(name, user)) {
        for (int other : to)
            if (other != connection) out.push_back({other, whisper});
    }
    // The sender's own copy says to whom it went; the client shows nothing of a line it sends.
    // Fault mended: the copy came as a whisper from the sender, and the client tells of every whisper
    // as a new message from its sender. A class without handling of its own shows the same words
    // where a whisper goes, with its texts as markup: the text is escaped here, so that it reads as
    // the one named reads it, as text.
    out.push_back({connection, Message::initChat(nextIid_++, 0, kOwnWhisperClass, 0, "", 0, "", user, " whispers: (to ",
                                                 name, ") " + escapeHtml(said))});
    return true;
}

Message LocalLobby::friendsList(const std::string& user) const {
    Message m = Message::initInfo(0, InfoCode::FRIENDS, 0, 0, "", "");
    for (const std::string& name : people_.account(user).friends)
        m.textList.insert(m.textList.end(), {name, connectionsOf(name).empty() ? "0" : "1"});
    return m;
}

Message LocalLobby::blockedList(const std::string& user) const {
    Message m = Message::initInfo(0, InfoCode::MUTED_USERS, 0, 0, "", "");
    for (const std::string& name : people_.account(user).blocked) m.textList.insert(m.textList.end(), {name, "1"});
    return m;
}

void LocalLobby::greetPeople(std::vector<OutgoingMessage>& out, int connection, const std::string& user) {
    Message friends = friendsList(user);
    friends.iid = nextIid_++;
    out.push_back({connection, friends});
    Message blocked = blockedList(user);
    blocked.iid = nextIid_++;
    out.push_back({connection, blocked});
    tellFriendsOf(out, user);
}

void LocalLobby::tellFriendsOf(std::vector<OutgoingMessage>& out, const std::string& user) {
    for (const auto& [connection, member] : members_) {
        if (!member.greeted || !people_.befriends(member.user, user)) continue;
        Message friends = friendsList(member.user);
        friends.iid = nextIid_++;
        out.push_back({connection, friends});
    }
}

Message LocalLobby::bio(const std::string& user) {
    const PeopleLists::Account& a = people_.account(user);
    Message m = Message::initInfo(nextIid_++, InfoCode::BIO_DATA, 0, 0, "", "");
    // The name, the rating (the lobby rates nobody), the rank, the country and text of My account; the
    // frames played here come with the bio's "Load results".
    m.textList = {user, "0", std::to_string(rankOf(user)), a.country, a.aboutMe};
    return m;
}

bool LocalLobby::onPeopleRequest(std::vector<OutgoingMessage>& out, int connection, const Message& message) {
    const std::string user = members_[connection].user;
    const std::string& name = message.textA;
    // Only the accounts the lobby knows go on a list, and nobody lists themselves.
    const bool other = name != user && ranks_.count(name) != 0;
    switch (static_cast<InfoCode>(message.infoCode)) {
        case InfoCode::FRIEND_CHANGE: {
            if (other) people_.setFriend(user, name, message.valueA != 0);
            Message friends = friendsList(user);
            friends.iid = nextIid_++;
            out.push_back({connection, friends});
            return true;
        }
        case InfoCode::BLOCK_USER: {
            if (other) people_.setBlocked(user, name, message.valueA != 0);
            Message blocked = blockedList(user);
            blocked.iid = nextIid_++;
            out.push_back({connection, blocked});
            return true;
        }
        case InfoCode::ACCOUNT_INFO:
            people_.setProfile(user, message.textA, message.textB);
            return true;
        case InfoCode::BIO_DATA_REQ:
            if (ranks_.count(name) == 0) {
                out.push_back({connection, notice("Unknown user " + escapeHtml(name) + ": no bio to show.",
                                                  members_[connection].tableId)});
            } else {
                out.push_back({connection, bio(name)});
            }
            return true;
        case InfoCode::BIO_RESULTS_REQ: {
            // The bio's "Load results": the frames the user played here, none an empty list.
            Message results = Message::initInfo(nextIid_++, InfoCode::FRAME_RESULTS_DATA, 0, 0, name, "");
            results.textList = replays_.results(name);
            out.push_back({connection, results});
            return true;
        }
        default:
            return false;
    }
}
