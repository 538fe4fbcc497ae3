// A MIDI file that reaches into the windows.
#include <ui/Panel.h>

#include "model/TaNGRAQVTemplate.h"
