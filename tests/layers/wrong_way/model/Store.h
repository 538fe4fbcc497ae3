#pragma once
// A model header that reaches up into the editing engine.
#include <sys/types.h>

#include "ControlState.h"
#include "editing/History.h"
#include "model/ByteSequence.h"
