#pragma once
// The text form of a control's SysEx message: "F0 01 DV 7F".
#include <string>

#include "ControlState.h"

// Checks and converts text; `status` receives a message in every case. On
// failure the record may hold part of the new message: apply it only on success.
// `maxBytes` is the device's longest message (GetMaxSysExLength), at most
// SysExMessage::kMaxBytes.
bool parseMessageText(const std::string& text, SysExMessage& record, std::string& status,
                      int maxBytes = SysExMessage::kMaxBytes);
bool validateMessage(const SysExMessage& record, std::string& status, int maxBytes = SysExMessage::kMaxBytes);
std::string formatMessageText(const SysExMessage& record, int maxBytes = SysExMessage::kMaxBytes);
