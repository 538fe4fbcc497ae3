#pragma once
// The editor's JACK ports: one JACK client for the listing and for both ports
// ("in" and "out", registered while open and connected to the chosen port),
// so that an idle editor costs the server one client's cycle, not three.
//
// The output writes each message at the frame of its moment (see
// `Output::BeginSend`) and reports it done once the cycle that carried it is
// over: the next cycle has started.
#include <memory>

#include "MidiPorts.h"

namespace MIDI {

// Null when no JACK server runs.
std::unique_ptr<ISystem> CreateJackSystem();
// Whether the server behind a system made by CreateJackSystem still runs.
bool JackSystemRuns(ISystem& jackSystem);

}  // namespace MIDI
