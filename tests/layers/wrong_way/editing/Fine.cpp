// Includes only what the editing engine may use.
#include "editing/Command.h"
#include "model/EditorTemplate.h"
