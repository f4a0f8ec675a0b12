// Links between the layer's parts that the program does not use.
#pragma once

#include <cstdint>
#include <string>

namespace bzweb::detail {

// Sends a query's answer to the document that asked, in the engine's order of operations.
void PostQueryReply(int browserId, int64_t contextId, int64_t requestId, bool success, std::string text, int errorCode);

}  // namespace bzweb::detail
