#include "tools/testserver/people_lists.h"

#include <algorithm>

namespace {

bool listed(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

void setListed(std::vector<std::string>& list, const std::string& name, bool on) {
    if (!on) {
        std::erase(list, name);
    } else if (!listed(list, name)) {
        list.push_back(name);
    }
}

}  // namespace

const PeopleLists::Account& PeopleLists::account(const std::string& user) const {
    static const Account none;
    auto found = accounts_.find(user);
    return found == accounts_.end() ? none : found->second;
}

void PeopleLists::setFriend(const std::string& user, const std::string& other, bool on) {
    setListed(accounts_[user].friends, other, on);
}

void PeopleLists::setBlocked(const std::string& user, const std::string& other, bool on) {
    setListed(accounts_[user].blocked, other, on);
}

bool PeopleLists::befriends(const std::string& user, const std::string& other) const {
    return listed(account(user).friends, other);
}

bool PeopleLists::blocks(const std::string& user, const std::string& other) const {
    return listed(account(user).blocked, other);
}

void PeopleLists::setProfile(const std::string& user, const std::string& country, const std::string& aboutMe) {
    Account& a = accounts_[user];
    a.country = country;
    a.aboutMe = aboutMe;
}
