// Opens a web address in the user's desktop browser: "xdg-open <url>" started without a shell and
// never waited for. Only http:// and https:// addresses without control characters are opened;
// anything else is refused with one ERROR line. The one opener of the client (game controller
// notices, the server's open-address message, the pages' links).
#pragma once

#include <string>
#include <vector>

// Starts the program argv[0] with these arguments (searched in PATH); returns the process id, or
// -1 with errno-style failure text in error. The product's spawner is posix_spawnp.
using ProgramSpawner = int (*)(const std::vector<std::string>& argv, std::string& error);

// True when the address may be handed to the opener.
bool isOpenableUrl(const std::string& url);

// Checks the address, logs it under "openExternal" and starts the opener. True when it was started.
// Children that have ended are reaped on every call (WNOHANG), so none is left a zombie for long.
bool openExternal(const std::string& url);

// Replaces the spawner (tests capture argv instead of running anything); nullptr restores
// posix_spawnp. Returns the previous one.
ProgramSpawner setProgramSpawner(ProgramSpawner spawner);

// Reaps the opener's ended children without waiting; the frame loop may call it now and then.
void reapOpenedPrograms();
