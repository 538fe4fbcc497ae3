#pragma once
// The command-line tool's MIDI commands: ports, receive and send.
#include <string>
#include <vector>

int cmdPorts(const std::vector<std::string>& args);
int cmdReceive(const std::vector<std::string>& args);
int cmdSend(const std::vector<std::string>& args);
