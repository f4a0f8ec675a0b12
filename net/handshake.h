// The key texts and digests of the login exchange. The client's connection and the loopback test
// server derive them from the same functions, so both ends always agree.
#pragma once

#include <string>

// Every stream starts under the key of this text.
inline constexpr const char* STREAM_PASS_PHRASE = "Marcipanfuj";

// ASCII letters A to Z lowered byte by byte; every other byte stays as it is.
std::string lowerAscii(const std::string& text);

// Key texts: after HELLO (salt + pass phrase) and after LOGIN_OK (salt + lower(user) + response).
std::string helloKeyText(const std::string& salt);
std::string loginKeyText(const std::string& salt, const std::string& userName, const std::string& challengeResponse);

// The answer to the challenge, 64 hexadecimal characters, kept for the final key.
std::string challengeResponseFor(const std::string& challenge, const std::string& password);
// The 20-character password digest that LOGIN_REQ carries.
std::string passwordDigest(const std::string& salt, const std::string& userName, const std::string& challengeResponse);
