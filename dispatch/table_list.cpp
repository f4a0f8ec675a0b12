// The lobby's table list and user list.
#include "dispatch/handlers.h"

void onTableListInfo(GameHandler&, const Message&) {}

void onUserListInfo(GameHandler&, const Message&) {}
