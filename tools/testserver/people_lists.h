// What the local lobby keeps of each account's people and profile: its friends and the users it
// has blocked, in the order they were added, and the country and text saved in My account. Kept in
// memory until the lobby stops, so a user finds them again at the next login.
#pragma once

#include <map>
#include <string>
#include <vector>

class PeopleLists {
public:
    struct Account {
        std::vector<std::string> friends;
        std::vector<std::string> blocked;
        std::string country;
        std::string aboutMe;
    };

    // The user's account; one never seen has empty lists.
    const Account& account(const std::string& user) const;
    // Adds the other user to (on) or takes them off (!on) the user's list.
    void setFriend(const std::string& user, const std::string& other, bool on);
    void setBlocked(const std::string& user, const std::string& other, bool on);
    bool befriends(const std::string& user, const std::string& other) const;
    bool blocks(const std::string& user, const std::string& other) const;
    void setProfile(const std::string& user, const std::string& country, const std::string& aboutMe);

private:
    std::map<std::string, Account> accounts_;
};
