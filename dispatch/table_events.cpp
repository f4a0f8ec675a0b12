// The events of the table the user sits at or watches.
#include "dispatch/handlers.h"

void onTableEvents(GameHandler&, const Message&) {}
