#pragma once
// Cut, copy, paste, delete, move and swap of whole controls, and assignment
// of an imported control. Each operation returns a composite command for the
// caller to execute (null when it cannot be built); only copying changes
// anything by itself (the clipboard).
//
// Sources and targets pair by position. The cut, delete and paste composites
// are named in the plural ("... Controls") when they act on more than one
// control.
#include <memory>
#include <vector>

#include "editing/MetaCommand.h"
#include "editing/PlacedControl.h"

class CEditorTemplate;
struct DeviceFacts;

using ControlList = std::vector<CPlacedControl>;

// Replaces the program-wide clipboard with copies of the controls' settings.
void copyToClipboard(const ControlList& controls);
// Copies the selection, then resets it: "Cut Control".
std::unique_ptr<CMetaCommand> cutCommand(const ControlList& selection);
// Resets every selected control: "Delete Control".
std::unique_ptr<CMetaCommand> deleteCommand(const ControlList& selection);
// Pastes sources[i] onto targets[i]: "Paste Control". Null unless both lists
// have the same length.
std::unique_ptr<CMetaCommand> pasteCommand(const ControlList& targets, const ControlList& sources);
std::unique_ptr<CMetaCommand> pasteFromClipboard(const ControlList& selection);
// Sources' settings go onto the targets, then the sources are reset:
// "Move control". Null unless both lists have the same length.
std::unique_ptr<CMetaCommand> moveCommand(const ControlList& sources, const ControlList& targets);
// Exchanges the settings of a[i] and b[i]: "Swap controls". Null unless both
// lists have the same length.
std::unique_ptr<CMetaCommand> swapCommand(const ControlList& a, const ControlList& b);
// Pastes imported control number i (0-based) of the template onto target:
// "Assign Imported Control". Null when there is no such imported control.
std::unique_ptr<CMetaCommand> assignImportedCommand(const CPlacedControl& target, const CEditorTemplate& tpl,
                                                    int importedNumber);
// Whether the copied controls may be pasted onto the targets (controls of a
// device with these facts): same number, no imported target, and each target
// can hold its copied settings.
bool canPaste(const DeviceFacts& facts, const ControlList& clipboard, const ControlList& targets);
