// The command-line converter: "bzs2bzst <file>" turns a shot file of the working directory into a
// bzst position string.
#pragma once

#include <iosfwd>
#include <string>

// Loads exactly the named "*.bzs" file of the working directory and writes "<name> bzst: <string>"
// to out. Returns 0, or 1 with a reason on err when no file has that name or it cannot be read
// whole. The loader's per-ball lines go to err, so out holds the result alone.
int runConverter(const std::string& name, std::ostream& out, std::ostream& err);
