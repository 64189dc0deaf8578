#include <ostream>

#include "ProgramVersion.h"
#include "cli/Commands.h"
#include "platform/Interrupt.h"

namespace {

constexpr char kOverview[] =
    "Usage: tillstream-cli COMMAND [ARGS...]\n"
    "Sends a file of point-of-sale data to a receiving device one line at a time, as the\n"
    "Tillstream window does, and helps to check what a device would receive.\n"
    "\n"
    "Commands:\n"
    "  play FILE       play a data file over TCP, UDP or a serial port\n"
    "  receive         listen like a receiving device and print every line that arrives\n"
    "  rig FILE.json   play several lanes at once, each to its own device\n"
    "  convert FILE    turn a stamped hex log into a converted data file (Make Tillstream Data)\n"
    "  restore FILE    give a converted file its original content back (Restore Data)\n"
    "  capture         record what arrives on a serial port into the capture folder\n"
    "  flows CAPTURE   list the TCP and UDP flows of a packet capture (pcap, pcapng)\n"
    "  options         print the stored settings, or change them with 'options set'\n"
    "  show            bring a running Tillstream window to the front\n"
    "\n"
    "'tillstream-cli COMMAND --help' describes a command.\n"
    "Exit codes: 0 done, 1 failed, 2 unknown flag or bad value (nothing was touched), ";
}  // namespace

int RunCommandLine(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << ExitCodesNote(kOverview);
        return kExitUsage;
    }
    const std::string& command = args.front();
    const CommandArgs rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << ExitCodesNote(kOverview);
        return kExitOk;
    }
    if (command == "--version") {
        out << kCliProgramName << " " << kProgramVersion << "\n";
        return kExitOk;
    }
    if (command == "play") {
        return RunPlayCommand(rest, out, err);
    }
    if (command == "receive") {
        return RunReceiveCommand(rest, out, err);
    }
    if (command == "rig") {
        return RunRigCommand(rest, out, err);
    }
    if (command == "convert") {
        return RunConvertCommand(rest, out, err);
    }
    if (command == "restore") {
        return RunRestoreCommand(rest, out, err);
    }
    if (command == "capture") {
        return RunCaptureCommand(rest, out, err);
    }
    if (command == "flows") {
        return RunFlowsCommand(rest, out, err);
    }
    if (command == "options") {
        return RunOptionsCommand(rest, out, err);
    }
    if (command == "show") {
        return RunShowCommand(rest, out, err);
    }
    PrintCommandError(err, "", "unknown command '" + command + "' (see 'tillstream-cli --help')");
    return kExitUsage;
}
