#pragma once
// The command-line tool's MIDI commands: ports, receive and send.
#include <string>
#include <vector>

int cmdPorts(const std::vector<std::string>& args);
int cmdReceive(const std::vector<std::string>& args);
int cmdSend(const std::vector<std::string>& args);

class MidiService;
// Selects the port named by `given`, else the editor's saved choice, else the
// device's default port; `error` says why none could be selected.
bool chooseMidiPort(MidiService& midi, bool input, const std::string& given, std::string& error);

// A text setting of the editor ("InputDevice", "LibraryPath", ...) from its
// per-user settings file; empty when there is none.
std::string editorSetting(const std::string& key);
