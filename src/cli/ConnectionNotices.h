#pragma once
// What a listening run tells about its devices, for `play --listen` and a rig's listening lanes
// alike: "connection 1 from 127.0.0.1:40538", "connection 1 closed after 8 lines",
// "connection 1 dropped: not reading" as they happen, and at the end one summary line per
// device. Main thread (TellConnections before the run); the notices come on the loop's thread.
#include <functional>
#include <string>

#include "lanes/LaneListener.h"

// Has `listener` tell each connection's coming, closing and dropping to `say`, which must return
// promptly and outlive the run.
void TellConnections(CLaneListener& listener, std::function<void(const std::string&)> say);

// "connection 1 from 127.0.0.1:40538: 8 lines".
std::string FormatConnectionSummary(const ListenConnection& connection);
