#include "client/gamehandler/shot_file.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"

#include <glob.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <ostream>

namespace {

// The record is little-endian, as is every machine the client runs on.
static_assert(std::endian::native == std::endian::little, "shot files are read as stored");

template <typename T>
T readAt(const unsigned char* bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

// The whole record, or false with one ERROR line: a file of any other size is not a shot file.
bool readWhole(const std::string& path, unsigned char (&bytes)[SHOT_FILE_SIZE]) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        BZ_LOG(LOG_ERROR, "loadShotFile", "Cannot open shot file " << path);
        return false;
    }
    in.read(reinterpret_cast<char*>(bytes), SHOT_FILE_SIZE);
    const auto got = static_cast<size_t>(in.gcount());
    if (got == SHOT_FILE_SIZE && in.peek() == std::ifstream::traits_type::eof()) return true;
    const std::string size = got < SHOT_FILE_SIZE ? std::to_string(got) + " bytes" : "longer";
    BZ_LOG(LOG_ERROR, "loadShotFile",
           "Shot file " << path << " refused: " << size << ", not " << SHOT_FILE_SIZE << " bytes");
    return false;
}

// Every double and float of the record is a number; an infinity or NaN would spread through the
// physics and the aim. Returns the byte offset of the first that is not, or SHOT_FILE_SIZE.
size_t firstNonFinite(const unsigned char (&bytes)[SHOT_FILE_SIZE]) {
    for (int k = 0; k < kBallCount; ++k) {
        const size_t record = k * SHOT_BALL_RECORD_SIZE;
        for (size_t at = 16; at < 96; at += 8)
            if (!std::isfinite(readAt<double>(bytes, record + at))) return record + at;
        for (size_t at = 96; at < SHOT_BALL_RECORD_SIZE; at += 4)
            if (!std::isfinite(readAt<float>(bytes, record + at))) return record + at;
    }
    for (size_t at = kBallCount * SHOT_BALL_RECORD_SIZE; at < SHOT_FILE_SIZE; at += 8)
        if (!std::isfinite(readAt<double>(bytes, at))) return at;
    return SHOT_FILE_SIZE;
}

void restoreBall(Ball& ball, const unsigned char* record, std::ostream& report) {
    const int32_t storedId = readAt<int32_t>(record, 0);
    if (storedId == ball.id) {
        report << "Restoring ball: id=" << storedId;
    } else {
        report << "ID mismatch: loaded id=" << storedId << ", expected id=" << ball.id << "\n";
    }
    ball.onTable = record[4] != 0;
    ball.pocket = readAt<int32_t>(record, 8);
    ball.pocketTime = readAt<double>(record, 16);
    ball.x = readAt<double>(record, 24);
    ball.z = readAt<double>(record, 32);
    // Any pocket number outside 0..5 counts as none, so no pocket table is read out of bounds.
    if (ball.pocket < 0 || ball.pocket >= kPocketCount) {
        ball.pocket = -1;
    } else if (!ball.onTable) {
        const double pocketX = pocketCentres[ball.pocket][0];
        const double pocketZ = pocketCentres[ball.pocket][1];
        const double along = std::fabs(ball.x - pocketX);
        if (std::fabs(ball.z - pocketZ) <= 0.99 && along <= 241.99) {
            ball.y = -209.75 - 28.0 * along / 241.0;  // on the pocket's run-off
        } else {
            ball.pocket = -1;
        }
    }
    double* motion[] = {&ball.vx, &ball.vz, &ball.rollVx, &ball.rollVz, &ball.spinY, &ball.accelX, &ball.accelZ};
    for (size_t i = 0; i < std::size(motion); ++i) *motion[i] = readAt<double>(record, 40 + 8 * i);
    ball.orientation.w = readAt<float>(record, 96);
    ball.orientation.x = readAt<float>(record, 100);
    ball.orientation.y = readAt<float>(record, 104);
    ball.orientation.z = readAt<float>(record, 108);
    report << ": x=" << ball.x << ": z=" << ball.z << "\n";
}

}  // namespace

std::vector<std::string> listShotFiles(const std::string& pattern) {
    std::vector<std::string> files;
    glob_t found{};
    if (::glob(pattern.c_str(), GLOB_TILDE, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) files.emplace_back(found.gl_pathv[i]);
    }
    ::globfree(&found);
    std::sort(files.begin(), files.end());
    return files;
}

std::string loadShotFile(GameHandler& gameHandler, const std::string& currentName, int direction,
                         std::ostream& report) {
    const std::vector<std::string> files = listShotFiles("*.bzs");
    const long n = static_cast<long>(files.size());
    long chosen = n - 1;
    if (!currentName.empty()) {
        auto at = std::find(files.begin(), files.end(), currentName);
        if (at != files.end()) {
            const long i = at - files.begin();
            chosen = direction < 0 ? i - 1 : direction > 0 ? i + 1 : i;
        }
    }
    if (chosen < 0 || chosen >= n) return {};

    unsigned char bytes[SHOT_FILE_SIZE];
    if (!readWhole(files[chosen], bytes)) return {};
    // Checked before anything is applied, so a refused file leaves the table and aim as they were.
    if (const size_t bad = firstNonFinite(bytes); bad != SHOT_FILE_SIZE) {
        BZ_LOG(LOG_ERROR, "loadShotFile", "Shot file " << files[chosen] << " refused: not a number at byte " << bad);
        return {};
    }

    Table& table = gameHandler.table;
    for (int k = 0; k < kBallCount; ++k) restoreBall(table.balls[k], bytes + k * SHOT_BALL_RECORD_SIZE, report);
    const size_t tail = kBallCount * SHOT_BALL_RECORD_SIZE;
    gameHandler.aim.aimAngle = readAt<double>(bytes, tail);
    gameHandler.aim.power = readAt<double>(bytes, tail + 8);
    gameHandler.aim.topSpin = readAt<double>(bytes, tail + 16);
    gameHandler.aim.sideSpin = readAt<double>(bytes, tail + 24);
    gameHandler.aim.elevation = readAt<double>(bytes, tail + 32);
    return files[chosen];
}
