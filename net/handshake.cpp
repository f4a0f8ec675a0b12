#include "net/handshake.h"

#include "core/sha256.h"

std::string lowerAscii(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

std::string helloKeyText(const std::string& salt) {
    return salt + STREAM_PASS_PHRASE;
}

std::string loginKeyText(const std::string& salt, const std::string& userName, const std::string& challengeResponse) {
    return salt + lowerAscii(userName) + challengeResponse;
}

std::string challengeResponseFor(const std::string& challenge, const std::string& password) {
    return sha256Hex(challenge + password);
}

std::string passwordDigest(const std::string& salt, const std::string& userName, const std::string& challengeResponse) {
    return sha256Hex(salt + lowerAscii(userName) + challengeResponse).substr(0, 20);
}
