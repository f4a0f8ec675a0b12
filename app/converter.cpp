#include "app/converter.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/shot_file.h"
#include "core/log.h"
#include "physics/bzst.h"

#include <algorithm>
#include <ostream>

int runConverter(const std::string& name, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> files = listShotFiles("*.bzs");
    // Only the named file: the loader's fallback to the last file would convert the wrong shot.
    if (std::find(files.begin(), files.end(), name) == files.end()) {
        err << "bzs2bzst: no shot file named \"" << name << "\" in the working directory\n";
        return 1;
    }
    GameHandler& gh = getGameHandler();
    if (loadShotFile(gh, name, 0, err) != name) {
        err << "bzs2bzst: \"" << name << "\" is not a whole shot file\n";
        return 1;
    }
    const std::string bzst =
        writeBzstString(gh.table, gh.aim.aimAngle, gh.aim.power, gh.aim.topSpin, gh.aim.sideSpin, gh.aim.elevation);
    out << name << " bzst: " << bzst;
    out.flush();
    BZ_LOG(LOG_INFO, "main", name << " bzst: " << bzst);
    return out ? 0 : 1;
}
