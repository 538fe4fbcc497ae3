#pragma once
// --help, --version and per-command help of tangra-qv-tool, kept apart from
// the command dispatch so that adding a command touches main.cpp only lightly.

// Answers "--help", "-h", "help [COMMAND]", "--version" and "COMMAND --help".
// Returns the exit status when the arguments asked for help or the version,
// or -1 when they are an ordinary command for main to run.
int handleHelpRequest(int argc, char** argv, const char* usage);

// The detailed help of one command, or nullptr for an unknown command.
const char* commandHelp(const char* command);
