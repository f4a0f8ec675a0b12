#include "client/gamehandler/login_lists.h"

#include <gtest/gtest.h>

namespace {

std::string added(std::string list, const std::string& name) {
    addToUserList(list, name);
    return list;
}

std::string counted(std::string list, const std::string& name) {
    countFailure(list, name);
    return list;
}

TEST(UserList, AppendsNewNamesOnly) {
    EXPECT_EQ(added("", "alice"), "alice");
    EXPECT_EQ(added("alice", "bob"), "alice bob");
    EXPECT_EQ(added("alice bob", "bob"), "alice bob");
    EXPECT_EQ(added("alice bob", "alice"), "alice bob");
    // A name that only begins another one is a name of its own.
    EXPECT_EQ(added("alice", "al"), "alice al");
    EXPECT_EQ(added("al", "alice"), "al alice");
}

TEST(UserList, NamesWithTheSeparatorAreNotRecorded) {
    std::string list = "alice";
    EXPECT_FALSE(addToUserList(list, "bob smith"));
    EXPECT_FALSE(addToUserList(list, ""));
    EXPECT_EQ(list, "alice");
    // The failed list's separators do not matter here, and the other way round.
    EXPECT_EQ(added("alice", "a:b,c"), "alice a:b,c");
    EXPECT_EQ(counted("", "bob smith"), "bob smith:1,");
}

TEST(UserList, KeepsTheNewestNamesWithinTheCap) {
    std::string list;
    for (int i = 0; i < 2000; ++i) addToUserList(list, "user" + std::to_string(i));
    EXPECT_LE(list.size(), kMaxLoginListBytes);
    EXPECT_GT(list.size(), kMaxLoginListBytes - 16);
    // Whole names give way from the front; the newest is last.
    EXPECT_EQ(list.substr(0, 4), "user");
    EXPECT_EQ(list.substr(list.size() - 8), "user1999");
    EXPECT_EQ(list.find("user0 "), std::string::npos);
    EXPECT_FALSE(addToUserList(list, std::string(kMaxLoginListBytes, 'x')));
}

TEST(FailedUserList, CountsPerNameWithTheLatestLast) {
    EXPECT_EQ(counted("", "alice"), "alice:1,");
    EXPECT_EQ(counted("alice:1,bob:1,", "alice"), "bob:1,alice:2,");
    EXPECT_EQ(counted("alice:1,bob:1,", "bob"), "alice:1,bob:2,");
    EXPECT_EQ(counted("jimbob:3,", "bob"), "jimbob:3,bob:1,");
    EXPECT_EQ(counted("alice:x,", "alice"), "alice:1,");
    EXPECT_EQ(counted("alice:-4,", "alice"), "alice:1,");
    EXPECT_EQ(counted("alice:2147483647,", "alice"), "alice:2147483647,");
    // A text cut short keeps its last entry apart from the new one.
    EXPECT_EQ(counted("alice:2", "bob"), "alice:2,bob:1,");
    EXPECT_EQ(counted("alice:2", "alice"), "alice:3,");
}

TEST(FailedUserList, NamesWithItsSeparatorsAreNotRecorded) {
    for (const char* name : {"a,b", "a:b", ""}) {
        std::string list = "alice:1,";
        EXPECT_FALSE(countFailure(list, name)) << name;
        EXPECT_EQ(list, "alice:1,");
    }
}

TEST(FailedUserList, KeepsTheNewestEntriesWithinTheCap) {
    std::string list;
    for (int i = 0; i < 1000; ++i) countFailure(list, "user" + std::to_string(i));
    countFailure(list, "user999");
    EXPECT_LE(list.size(), kMaxLoginListBytes);
    EXPECT_EQ(list.substr(0, 4), "user");
    EXPECT_EQ(list.substr(list.size() - 10), "user999:2,");
    EXPECT_EQ(list.back(), ',');
}

}  // namespace
