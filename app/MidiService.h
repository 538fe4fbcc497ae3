#pragma once
// The application's MIDI service lives with the port layer (plain C++).
#include "midi/MidiService.h"
