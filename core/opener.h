// Opens a web address in the user's desktop browser: "xdg-open <url>" started without a shell; its
// exit status is waited for on a thread of its own and logged. Only plain http:// and https://
// addresses are opened (isOpenableUrl); anything else is refused with one ERROR line. The one
// opener of the client (game controller notices, the server's open-address message, the pages'
// links).
#pragma once

#include <string>
#include <vector>

// Starts the program argv[0] with these arguments (searched in PATH); returns the process id, or
// -1 with errno-style failure text in error. The product's spawner is posix_spawnp.
using ProgramSpawner = int (*)(const std::vector<std::string>& argv, std::string& error);

// True when the address may be handed to the opener: http:// or https://, well-formed UTF-8, and no
// control, invisible or separator character, blank, quote, backquote, "$", "<", ">" or backslash.
// The one filter of every address the client opens: the pages' links and the server's.
bool isOpenableUrl(const std::string& url);

// Waits for the child with this process id and returns its raw wait status (-1 when it cannot be
// waited for). The product's waiter is waitpid.
using ProgramWaiter = int (*)(int pid);

// Checks the address, logs it under "openExternal" and starts the opener. True when it was started.
// A thread waits for the opener and logs "system call '...' returned N" (an ERROR line when N is
// not 0); a failure is that log line only.
bool openExternal(const std::string& url);

// Waits until every opener started so far has been waited for (tests). False when the time ran out.
bool waitForOpeners(int timeoutMs);

// Replaces the spawner (tests capture argv instead of running anything); nullptr restores
// posix_spawnp. Returns the previous one.
ProgramSpawner setProgramSpawner(ProgramSpawner spawner);
// Replaces the waiter likewise; nullptr restores waitpid.
ProgramWaiter setProgramWaiter(ProgramWaiter waiter);
