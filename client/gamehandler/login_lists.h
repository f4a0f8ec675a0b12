// The two lists of user names that the client keeps in the preferences file and sends to the server
// at every login: who logged in successfully on this machine ("userList": names separated by single
// spaces, in order of first success) and who failed ("failedUserList": entries name:count, each
// ending in a comma, the latest failure last).
#pragma once

#include <cstddef>
#include <string>

inline constexpr const char* kUserListKey = "userList";
inline constexpr const char* kFailedUserListKey = "failedUserList";

// Neither list may outgrow this many bytes: the oldest names or entries give way, so the file and
// the login message stay small however many names pass through one machine.
inline constexpr size_t kMaxLoginListBytes = 4096;

// A name that holds a list's separators would be read back as other names, so it is not recorded.
bool fitsUserList(const std::string& userName);
bool fitsFailedUserList(const std::string& userName);

// Appends the name unless it is already one of the list's names; false when the list is unchanged.
bool addToUserList(std::string& userList, const std::string& userName);

// Counts one more failure for the name: its entry (if any) is cut out and appended with the count
// raised by one (a count that is not a number counts as 0). False when the list is unchanged.
bool countFailure(std::string& failedUserList, const std::string& userName);
