#pragma once
// The bulk and OS transfers' way to the application's MIDI service.
#include "midi/Transfers.h"

ITransferLink& AppTransferLink();
