#include "physics/bzst.h"

#include <sstream>

#include "core/log.h"
#include "core/text.h"

namespace {

constexpr const char* kLoad = "loadBzstString";

bool isKeyword(const std::string& token) { return token == "b" || token == "a" || token == "e"; }

double radiusOf(const Ball& ball) { return ball.table ? (*ball.table->params)[48] : 26.25; }

// Would the rest of a group after its x (y only withHeight, z, the cue ball's orientation) parse
// and be followed by a keyword? Leaves the stream where it was.
bool groupTailFits(std::istringstream& in, bool withHeight, bool cueBall) {
    const std::streampos start = in.tellg();
    if (start < 0) return false;
    double number = 0;
    float orientation = 0;
    std::string next;
    if (withHeight) in >> number;
    in >> number;
    if (cueBall) in >> orientation >> orientation >> orientation >> orientation;
    in >> next;
    const bool fits = in && isKeyword(next);
    in.clear();
    in.seekg(start);
    return fits;
}

// A ball in pocket 0 is written with P = 0 like a ball on the bed, but with its height as well.
// The group is read with a height only where the reading without one does not fit and the
// reading with one does, so every text read before is read as before.
bool isPocketZeroGroup(std::istringstream& in, bool cueBall) {
    return !groupTailFits(in, false, cueBall) && groupTailFits(in, true, cueBall);
}

// One group after its "b": id, P, x, [y], z and for the cue ball the orientation.
bool readBallGroup(std::istringstream& in, Ball* balls) {
    int id = 0, pocket = 0;
    double x = 0, z = 0;
    if (!(in >> id) || !Table::checkBallId(id, kLoad)) return false;
    if (!(in >> pocket >> x)) return false;
    if (pocket > 0 && !Table::checkPocket(pocket, kLoad)) return false;
    Ball& ball = balls[id];
    const bool inPocketZero = pocket == 0 && isPocketZeroGroup(in, id == BALL_WHITE);
    double y = radiusOf(ball);
    if (pocket > 0 || inPocketZero) in >> y;
    in >> z;
    Quaternion orientation;
    if (id == BALL_WHITE) in >> orientation.w >> orientation.x >> orientation.y >> orientation.z;
    if (!in) return false;
    ball.x = x;
    ball.y = y;
    ball.z = z;
    ball.onTable = pocket == 0 && !inPocketZero;
    ball.pocket = pocket > 0 || inPocketZero ? pocket : -1;
    ball.orientation = orientation;
    BZ_LOG(LOG_INFO, kLoad, "Ball " << id << ": pocket=" << pocket << ", x=" << x << ", z=" << z);
    return true;
}

void appendNumber(std::string& text, const std::string& number) {
    text += ' ';
    text += number;
}

}  // namespace

std::string writeBzstString(const Table& table, double angle, double power, double topSpin, double sideSpin,
                            double elevation) {
    // Version and type are those of the format, whatever the table's own are.
    std::string text = "v 1 t 2 c";
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& b = table.balls[i];
        if (!b.onTable && b.pocket < 0) continue;
        text += " b";
        appendNumber(text, intToString(i));
        appendNumber(text, intToString(b.onTable ? 0 : b.pocket));
        appendNumber(text, doubleToExactString(b.x));
        if (!b.onTable) appendNumber(text, doubleToExactString(b.y));
        appendNumber(text, doubleToExactString(b.z));
        if (i == BALL_WHITE) {
            for (float v : {b.orientation.w, b.orientation.x, b.orientation.y, b.orientation.z})
                appendNumber(text, floatToExactString(v));
        }
    }
    text += " a";
    for (double v : {angle, power, topSpin, sideSpin, elevation}) appendNumber(text, doubleToExactString(v));
    text += " e\n";
    return text;
}

bool loadBzstString(LiveStatus& status, const std::string& text) {
    std::istringstream in(text);
    std::string versionWord, typeWord, kind;
    int version = 0, type = 0;
    in >> versionWord >> version >> typeWord >> type >> kind;
    if (!status.balls) {
        BZ_LOG(LOG_ERROR, kLoad, "No balls to read into");
        return false;
    }
    if (versionWord != "v" || typeWord != "t" || (kind != "c" && kind != "p")) {
        BZ_LOG(LOG_ERROR, kLoad, "Invalid bzst string: " << text);
        return false;
    }

    Ball* balls = status.balls;
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = balls[i];
        b.onTable = false;
        b.pocket = -1;
        b.x = b.z = 99999.9 + 100 * i;
        b.y = radiusOf(b);
        b.orientation = Quaternion{};
    }

    std::string token;
    // A failed stream leaves the token as it was, so every read is checked before the test.
    while (in >> token && token == "b")
        if (!readBallGroup(in, balls)) return false;
    if (!in) return false;
    if (token == "a") {
        double aim[5] = {};
        for (double& v : aim) in >> v;
        if (!in) return false;
        BZ_LOG(LOG_INFO, kLoad, "Aiming: " << aim[0] << " " << aim[1] << " " << aim[2] << " " << aim[3] << " " << aim[4]);
        if (!(in >> token)) return false;
    }
    if (token != "e") return false;
    BZ_LOG(LOG_INFO, kLoad, "bzst string read successfully.");
    return true;
}
