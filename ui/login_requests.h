// The Login page's one request, "loginEnterLobby", as the query dispatcher hands it over after it
// has read the JSON values. Main thread.
#pragma once

#include <string>

// Shown when the page asks for a login while one is in use.
extern const char* const kAlreadyConnectedNotice;

// servername "-": show the saved credentials in the form. An empty servername: remember the
// credentials (rememberme) or forget them. Any other name: log in to that lobby server, unless a
// login connection is already in use; a lobby that is not among those answering is refused with a
// notice in the form, which takes the next login.
void loginEnterLobby(const std::string& serverName, const std::string& userName, const std::string& password,
                     bool rememberMe);
