// The option prefix of a table name, "(t<n>l<n>f)Shown name": t marks the table (with an optional
// table number), f a second flag, l<n> the line-up number. Pure, for the table list and its tests.
#pragma once

#include <string>

struct TableNameOptions {
    std::string shownName;
    bool flagT = false;
    bool flagF = false;
    int tNumber = -1;  // the digits after t; -1 when none
    int lineUpNumber = 0;
};

// Nicks as the server compares them in its user list: equal but for the case of A to Z.
bool sameNickIgnoringAsciiCase(const std::string& a, const std::string& b);

// A name shorter than two characters or not starting with "(" has no options and is shown whole,
// as is a name whose option list is never closed (the flags read so far still count).
TableNameOptions parseTableNameOptions(const std::string& name);
