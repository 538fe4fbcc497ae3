#include "Help.h"

#include <cstring>
#include <iostream>
#include <string>

#ifndef TQV_VERSION
#define TQV_VERSION "unknown"
#endif

namespace {

struct CommandHelp {
    const char* name;
    const char* text;
};

// One entry per command of main.cpp; a command without an entry still runs,
// it only lacks its own page.
const CommandHelp kCommands[] = {
    {"info",
     "Usage: tangra-qv-tool info [--json] FILE\n"
     "\n"
     "Opens FILE as the editor would (converting a sibling device's template) and\n"
     "prints the device kind, template name, OS version, notices and one line per\n"
     "assigned control. With --json the whole template is printed as a JSON object\n"
     "whose \"controls\" entries name the fields that 'set' accepts.\n"
     "\n"
     "Exit status: 0 on success, 1 when FILE cannot be read or is not a template,\n"
     "2 on a usage error.\n"},
    {"convert",
     "Usage: tangra-qv-tool convert IN OUT\n"
     "\n"
     "Opens IN, converting another device's template where needed, and writes it\n"
     "to OUT as a TaNGRA LuMI QV template. Notices about the conversion go to the\n"
     "standard error. OUT is replaced atomically.\n"},
    {"new",
     "Usage: tangra-qv-tool new OUT\n"
     "\n"
     "Writes a new default template (all controls as the editor's File > New\n"
     "makes them) to OUT.\n"},
    {"set",
     "Usage: tangra-qv-tool set IN OUT INDEX FIELD=VALUE...\n"
     "       tangra-qv-tool set IN OUT template FIELD=VALUE...\n"
     "\n"
     "Opens IN, applies each FIELD=VALUE in turn as the edit window would, and\n"
     "writes the result to OUT. INDEX is a control number from 0 to 85; FIELD is\n"
     "a key of the \"controls\" objects printed by 'info --json'. With 'template'\n"
     "the fields are templateName and manufacturerName. A value out of range is\n"
     "refused with a message and nothing is written.\n"},
};

bool isHelpOption(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

const char* commandHelp(const char* command) {
    for (const CommandHelp& c : kCommands)
        if (std::strcmp(c.name, command) == 0) return c.text;
    return nullptr;
}

int handleHelpRequest(int argc, char** argv, const char* usage) {
    if (argc < 2) return -1;
    const char* first = argv[1];
    if (std::strcmp(first, "--version") == 0) {
        std::cout << "tangra-qv-tool " << TQV_VERSION << "\n";
        return 0;
    }
    const bool helpWord = std::strcmp(first, "help") == 0;
    if (isHelpOption(first) || (helpWord && argc == 2)) {
        std::cout << usage << "\nRun 'tangra-qv-tool help COMMAND' for the details of one command.\n";
        return 0;
    }
    if (helpWord) {
        if (const char* text = commandHelp(argv[2])) {
            std::cout << text;
            return 0;
        }
        std::cerr << "tangra-qv-tool: no help for unknown command '" << argv[2] << "'\n" << usage;
        return 2;
    }
    // COMMAND --help, anywhere among the command's arguments.
    if (const char* text = commandHelp(first)) {
        for (int i = 2; i < argc; ++i)
            if (isHelpOption(argv[i])) {
                std::cout << text;
                return 0;
            }
    }
    return -1;
}
