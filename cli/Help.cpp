#include "Help.h"
#include "LibraryCommands.h"

#include <cerrno>
#include <cstdio>
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
     "Usage: tangra-qv-tool info [--json [--lossless]] FILE\n"
     "\n"
     "Opens FILE as the editor would (converting a sibling device's template) and\n"
     "prints the device kind, template name, OS version, notices and one line per\n"
     "assigned control. With --json the whole template is printed as a JSON object\n"
     "whose \"controls\" entries name the fields that 'set' accepts. --lossless adds\n"
     "\"preservedBits\": the bits the editor keeps from the file without showing\n"
     "them, so that 'from-json' gives back the same bytes.\n"
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
    {"ports",
     "Usage: tangra-qv-tool ports [--json]\n"
     "\n"
     "Lists the MIDI input and output ports the editor would offer, one per line,\n"
     "or as JSON with --json. Part of a name shown here is what --in and --out of\n"
     "the transfer commands take.\n"},
    {"receive",
     "Usage: tangra-qv-tool receive [--in NAME] [--timeout SECONDS] OUT\n"
     "\n"
     "Waits for a template dump from the unit on the input port whose name contains\n"
     "NAME (default: the first) and writes the template to OUT. Gives up after\n"
     "SECONDS without a dump.\n"},
    {"send",
     "Usage: tangra-qv-tool send [--out NAME] FILE\n"
     "\n"
     "Opens the template in FILE as the editor would and sends it to the unit on the\n"
     "output port whose name contains NAME (default: the first).\n"},
    {"blk",
     "Usage: tangra-qv-tool blk list [--json] FILE.blk\n"
     "       tangra-qv-tool blk extract FILE.blk DIR\n"
     "       tangra-qv-tool blk pack OUT.blk FILE.syx...\n"
     "\n"
     "Works on bulk dump files. 'list' prints the number and name of each entry;\n"
     "'extract' writes every entry as a single template into DIR; 'pack' makes a\n"
     "bulk dump of up to 40 templates, the remaining entries empty.\n"},
    {"os-info",
     "Usage: tangra-qv-tool os-info IMAGE.syx\n"
     "\n"
     "Tells whether IMAGE.syx is a valid OS image for the unit, and its version.\n"},
    {"bulk-receive",
     "Usage: tangra-qv-tool bulk-receive [--in NAME] [--timeout SECONDS] OUT.blk\n"
     "\n"
     "Receives the unit's bulk dump (all 40 templates) on the input port whose name\n"
     "contains NAME and writes it to OUT.blk.\n"},
    {"bulk-send",
     "Usage: tangra-qv-tool bulk-send [--out NAME] [--stats] FILE.blk\n"
     "\n"
     "Sends the bulk dump in FILE.blk to the unit, pausing 500 ms after each\n"
     "template. --stats prints the timing of the transfer.\n"},
    {"os-send",
     "Usage: tangra-qv-tool os-send [--out NAME] [--stats] IMAGE.syx\n"
     "\n"
     "Sends an OS image to the unit, which must be in its OS-receive mode.\n"
     "--stats prints the timing of the transfer.\n"},
    {"report-send",
     "Usage: tangra-qv-tool report-send [OPTIONS] FILE\n"
     "\n"
     "Sends FILE as a report, as the editor's report dialog does; FILE is deleted\n"
     "once the server accepted it.\n"
     "\n"
     "  --server HOST:PORT              mail server (default: the maker's report server)\n"
     "  --kind Crash|\"Data Error\"      report kind for the subject (default Crash)\n"
     "  --reply-to ADDRESS              the address the maker may answer\n"
     "  --body TEXT | --body-file PATH  what happened (default: empty)\n"
     "  --timeout SECONDS               wait for connect and each reply (default 10)\n"},
    {"report-check",
     "Usage: tangra-qv-tool report-check [--server HOST:PORT] [--timeout SECONDS]\n"
     "\n"
     "Exits 0 when the report server can be reached, 1 otherwise.\n"},
    {"plugins",
     "Usage: tangra-qv-tool plugins [--json] [--timeout SECONDS] [DIR]\n"
     "\n"
     "Lists the VST 2 plug-ins in DIR (folders joined by ':', each must exist;\n"
     "default: $VST_PATH, else every existing one of ~/.vst, ~/.lxvst,\n"
     "/usr/local/lib/vst, /usr/lib/vst, /usr/local/lib/lxvst, /usr/lib/lxvst) with\n"
     "their parameters. Each plug-in is examined in a separate process; one silent\n"
     "for SECONDS (default 10), or reporting more than 100,000 parameters, is\n"
     "skipped. Control characters in names are shown escaped.\n"},
    {"from-plugin",
     "Usage: tangra-qv-tool from-plugin PLUGIN_FILE OUT\n"
     "\n"
     "Writes to OUT a new template whose controls are named after the parameters of\n"
     "the plug-in in PLUGIN_FILE.\n"},
    {"set",
     "Usage: tangra-qv-tool set IN OUT INDEXES FIELD=VALUE...\n"
     "       tangra-qv-tool set IN OUT template FIELD=VALUE...\n"
     "\n"
     "Opens IN, applies each FIELD=VALUE in turn to every control of INDEXES as the\n"
     "edit window would, and writes the result to OUT. INDEXES is a control number\n"
     "from 0 to 85 or a list of numbers and ranges such as 0-7,16,20-23; FIELD is a\n"
     "key of the \"controls\" objects printed by 'info --json'. Each value is checked\n"
     "as the edit window checks it, against the control as the earlier assignments\n"
     "left it. With 'template' the fields are templateName and manufacturerName. A\n"
     "value out of range on any control is refused with a message naming the\n"
     "control, and nothing is written.\n"
     "\n"
     "Example: tangra-qv-tool set in.syx out.syx 0-7,16 midiChannel=3 portUsb1=1\n"},
    {"clashes",
     "Usage: tangra-qv-tool clashes [--json] FILE\n"
     "\n"
     "Lists the controls of the template in FILE that send the same message on the\n"
     "same channel and port, one line per group of them:\n"
     "    CC 7 on channel 1 (MIDI 1, USB 1): 0 (Pot 1, \"Volume\"), 16 (Slider 1)\n"
     "The same message is: the same CC number; the same NRPN or RPN parameter; the\n"
     "same note (Note On/Off and Drum Note alike); the same program; any pitch bend,\n"
     "aftertouch or bank select; the same MMC command to the same device; the same\n"
     "SysEx bytes. Channels and ports are the ones the controls send on, through\n"
     "their channel and port groups; controls clash when they share a port. With\n"
     "--json the same is printed as {\"clashes\": [{\"message\", \"channel\", \"ports\",\n"
     "\"controls\": [{\"index\", \"place\", \"name\", \"type\"}]}]}.\n"
     "\n"
     "Exit status: 0 when no controls clash (nothing is printed without --json), 1\n"
     "when some do, 2 on a usage error or when FILE cannot be read or is not a\n"
     "template.\n"},
    {"diff",
     "Usage: tangra-qv-tool diff [--json] A B\n"
     "\n"
     "Opens A and B as the editor would (converting sibling devices' templates) and\n"
     "lists what changes from A to B: one line per differing field of each control,\n"
     "    control 12 (Cutoff): midiChannel 0 -> 2\n"
     "then the template-wide fields,\n"
     "    template: templateName \"Live\" -> \"Studio\"\n"
     "Field names and values are those of 'info --json' (nested ones joined by\n"
     "dots: sysEx.bytes, locals.octave, zones[1].transpose); controls from 86 on\n"
     "are imported controls, and a different number of them is shown as\n"
     "importedControls with the two counts. With --json the same is printed as\n"
     "an object {\"equal\", \"controls\": [{\"index\", \"name\", \"fields\":\n"
     "[{\"field\", \"old\", \"new\"}]}], \"template\": [{\"field\", \"old\", \"new\"}]}.\n"
     "\n"
     "Exit status: 0 when the templates are equal (nothing is printed without\n"
     "--json), 1 when they differ, 2 on a usage error or when A or B cannot be\n"
     "read or is not a template.\n"},
};

// Help goes to standard output like any result: a failed write (a full disk)
// is reported and fails the command.
int emit(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const int reason = errno;
    if (written && std::fflush(stdout) == 0) return 0;
    std::cerr << "tangra-qv-tool: unable to write the output: " << std::strerror(written ? errno : reason) << "\n";
    return 1;
}

bool isHelpOption(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

const char* commandHelp(const char* command) {
    if (const char* text = libraryCommandHelp(command)) return text;
    for (const CommandHelp& c : kCommands)
        if (std::strcmp(c.name, command) == 0) return c.text;
    return nullptr;
}

int handleHelpRequest(int argc, char** argv, const char* usage) {
    if (argc < 2) return -1;
    const char* first = argv[1];
    if (std::strcmp(first, "--version") == 0) {
        return emit(std::string("tangra-qv-tool ") + TQV_VERSION + "\n");
    }
    const bool helpWord = std::strcmp(first, "help") == 0;
    if (isHelpOption(first) || (helpWord && argc == 2)) {
        return emit(std::string(usage) + "\nRun 'tangra-qv-tool help COMMAND' for the details of one command.\n");
    }
    if (helpWord) {
        if (const char* text = commandHelp(argv[2])) return emit(text);
        std::cerr << "tangra-qv-tool: no help for unknown command '" << argv[2] << "'\n" << usage;
        return 2;
    }
    // COMMAND --help, anywhere among the command's arguments.
    if (const char* text = commandHelp(first)) {
        for (int i = 2; i < argc; ++i)
            if (isHelpOption(argv[i])) return emit(text);
    }
    return -1;
}
