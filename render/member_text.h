// The whole text of a resource archive member.
#pragma once

#include <string>

// False, leaving `out` alone, when the member is not in the archive.
bool readMemberText(const std::string& member, std::string& out);
