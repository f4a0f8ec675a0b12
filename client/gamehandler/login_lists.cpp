#include "client/gamehandler/login_lists.h"

#include "core/text.h"

#include <climits>

namespace {

// Room for the longest count and its separators beside the name.
constexpr size_t kCountRoom = 16;

bool fitsList(const std::string& userName, const char* separators) {
    return !userName.empty() && userName.find_first_of(separators) == std::string::npos &&
           userName.size() + kCountRoom <= kMaxLoginListBytes;
}

// Drops whole leading items (each ends with the separator) until the text fits.
void dropOldest(std::string& text, char separator) {
    while (text.size() > kMaxLoginListBytes) {
        const size_t end = text.find(separator);
        if (end == std::string::npos) {
            text.clear();
            return;
        }
        text.erase(0, end + 1);
    }
}

}  // namespace

bool fitsUserList(const std::string& userName) { return fitsList(userName, " "); }

bool fitsFailedUserList(const std::string& userName) { return fitsList(userName, ",:"); }

bool addToUserList(std::string& userList, const std::string& userName) {
    if (!fitsUserList(userName)) return false;
    for (size_t start = 0; start <= userList.size();) {
        size_t end = userList.find(' ', start);
        if (end == std::string::npos) end = userList.size();
        if (userList.compare(start, end - start, userName) == 0) return false;
        start = end + 1;
    }
    if (!userList.empty()) userList += ' ';
    userList += userName;
    dropOldest(userList, ' ');
    return true;
}

bool countFailure(std::string& failedUserList, const std::string& userName) {
    if (!fitsFailedUserList(userName)) return false;
    int count = 0;
    for (size_t start = 0; start < failedUserList.size();) {
        size_t end = failedUserList.find(',', start);
        const bool lastWithoutComma = end == std::string::npos;
        if (lastWithoutComma) end = failedUserList.size();
        const std::string entry = failedUserList.substr(start, end - start);
        const size_t colon = entry.find(':');
        // The name is the text before the colon (the whole entry when it has none).
        if (entry.compare(0, colon, userName) == 0) {
            const int stored = colon == std::string::npos ? 0 : toInt(entry.substr(colon + 1));
            count = stored < 0 ? 0 : stored;
            failedUserList.erase(start, end - start + (lastWithoutComma ? 0 : 1));
            break;
        }
        start = end + 1;
    }
    if (count < INT_MAX) ++count;
    // A text cut short must not run its last entry into the new one.
    if (!failedUserList.empty() && failedUserList.back() != ',') failedUserList += ',';
    failedUserList += userName + ":" + intToString(count) + ",";
    dropOldest(failedUserList, ',');
    return true;
}
