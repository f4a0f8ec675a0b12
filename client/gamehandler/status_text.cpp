// The text cursor of replay texts and the reader of their status records ("{" values "}").
#include "client/gamehandler/replay_text.h"

#include "core/log.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The touching-ball list has room for six ids in the status values.
constexpr int kMaxTouching = 6;

}  // namespace

void ReplayReader::skipSpace() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
}

char ReplayReader::peekAfterSpace() {
    if (failed_) return 0;
    skipSpace();
    return pos_ < text_.size() ? text_[pos_] : 0;
}

bool ReplayReader::readInt(int& value) {
    if (failed_) return false;
    skipSpace();
    size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '-' || text_[p] == '+')) negative = text_[p++] == '-';
    const size_t digits = p;
    long long v = 0;
    while (p < text_.size() && isDigit(text_[p])) {
        v = v * 10 + (text_[p] - '0');
        if (v > 2147483648LL) v = 2147483649LL;  // saturate: too large either way
        ++p;
    }
    if (p == digits) return fail();
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return fail();
    value = static_cast<int>(v);
    pos_ = p;
    return true;
}

bool ReplayReader::readDouble(double& value) {
    if (failed_) return false;
    skipSpace();
    size_t p = pos_;
    const size_t start = p;
    if (p < text_.size() && (text_[p] == '-' || text_[p] == '+')) ++p;
    size_t mantissa = 0;
    while (p < text_.size() && isDigit(text_[p])) ++p, ++mantissa;
    if (p < text_.size() && text_[p] == '.') {
        ++p;
        while (p < text_.size() && isDigit(text_[p])) ++p, ++mantissa;
    }
    if (mantissa == 0) return fail();
    if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
        size_t q = p + 1;
        if (q < text_.size() && (text_[q] == '-' || text_[q] == '+')) ++q;
        if (q < text_.size() && isDigit(text_[q])) {
            while (q < text_.size() && isDigit(text_[q])) ++q;
            p = q;
        }
    }
    const char* first = text_.data() + start;
    if (*first == '+') ++first;
    double v = 0;
    const auto result = std::from_chars(first, text_.data() + p, v);
    if (result.ec != std::errc()) return fail();
    value = v;
    pos_ = p;
    return true;
}

bool ReplayReader::readWord(std::string& word) {
    if (failed_) return false;
    skipSpace();
    const size_t start = pos_;
    while (pos_ < text_.size() && !isSpace(text_[pos_])) ++pos_;
    if (pos_ == start) return fail();
    word.assign(text_.substr(start, pos_ - start));
    return true;
}

bool ReplayReader::readChar(char& c) {
    if (failed_) return false;
    skipSpace();
    if (pos_ >= text_.size()) return fail();
    c = text_[pos_++];
    return true;
}

bool readGameStatus(ReplayReader& in, ReplayStatus& status, int replayT) {
    auto invalid = [](const char* what) {
        BZ_LOG(LOG_ERROR, "readGameStatus", what);  // the log adds its own error prefix
        return false;
    };
    int first[12] = {}, second[10] = {}, third[6] = {}, fourth[13] = {};
    for (int& v : first) in.readInt(v);
    for (int& v : second) in.readInt(v);
    for (int& v : third) in.readInt(v);
    int touching[kMaxTouching] = {};
    int count = 0;
    for (;;) {
        int id = 0;
        if (!in.readInt(id) || id < 0) break;
        if (id > 24) return invalid("Invalid format!");
        // More ids than the status has room for cannot be kept: the record is refused.
        if (count == kMaxTouching) return invalid("Invalid format!");
        touching[count++] = id;
    }
    for (int& v : fourth) in.readInt(v);
    std::string closing;
    in.readWord(closing);
    if (fourth[10] != 0 && fourth[10] != 1) fourth[10] = 0;

    auto within = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    bool ok = !in.failed() && closing == "}";
    ok = ok && within(first[0], 0, 1) && within(first[1], 0, 90) && within(first[2], 0, 3) &&
         within(first[3], -1, 1) && within(first[4], -1, 1) && within(first[5], 0, 18) && within(first[6], 0, 18) &&
         within(first[7], 0, 9999) && within(first[8], 0, 9999) && within(first[11], 0, 9999);
    ok = ok && within(third[4], 0, 16) && within(third[5], 0, 10);
    ok = ok && within(fourth[0], 0, 10) && within(fourth[1], -1, 10);
    for (int i = 2; i <= 10 && ok; ++i) ok = within(fourth[i], 0, 1);
    ok = ok && within(fourth[11], -1, 1) && within(fourth[12], -1, 1);
    if (!ok) return invalid("Invalid format");

    status[0] = first[0];
    status[1] = first[1];
    status[2] = first[2] >= 2 ? 1 : first[2];
    for (int i = 3; i < 12; ++i) status[i] = first[i];
    for (int i = 0; i < 10; ++i) status[12 + i] = second[i];
    for (int i = 0; i < 6; ++i) status[22 + i] = third[i];
    status[28] = count;
    for (int i = 0; i < kMaxTouching; ++i) status[29 + i] = i < count ? touching[i] : 0;
    for (int i = 0; i < 13; ++i) status[35 + i] = fourth[i];
    // A shot that scored nothing starts the break clock again.
    if (third[4] == 0) status[48] = replayT;
    return true;
}
