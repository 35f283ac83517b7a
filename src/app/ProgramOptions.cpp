#include "app/ProgramOptions.h"

namespace Halvo::App {

namespace {

// The same test as the command line's: "+=" is the operator word, not the start of a console line.
bool StartsConsoleLine(const std::string& argument) {
    return !argument.empty() && argument[0] == '+' && argument != "+=";
}

} // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments) {
    ProgramOptions options;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (StartsConsoleLine(argument)) {
            optionsEnded = true;
        }
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.arguments.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            // The first of help and version wins, as most programs do; a later unknown option does not
            // stop the help that was asked for.
            if (options.action == ProgramOptions::Action::Run) {
                options.action = ProgramOptions::Action::Help;
            }
        } else if (argument == "--desktop") {
            options.desktop = true;
        } else if (argument == "--version") {
            if (options.action == ProgramOptions::Action::Run) {
                options.action = ProgramOptions::Action::Version;
            }
        } else if (options.action == ProgramOptions::Action::Run) {
            options.action = ProgramOptions::Action::Refuse;
            options.error = "unknown option " + argument +
                            " (a cartridge whose name begins with \"-\" loads as ./" + argument +
                            " or after --)";
        }
    }
    return options;
}

std::string ProgramUsage() {
    return "Usage: halvo [--] [ROM] [+console line ...]\n"
           "       halvo --help | --version\n"
           "\n"
           "Plays the NES cartridge image ROM (iNES .nes, UNIF .unif or .unf). Every argument that begins\n"
           "with \"+\" starts a console line made of the words up to the next one; the lines run in order\n"
           "before the display is set up. Without a ROM the console opens and tells what to type.\n"
           "  halvo game.nes +g_windowed on +g_width = 1024 +g_height = 768\n"
           "  halvo +run \"settings.cfg\"\n"
           "\n"
           "Options:\n"
           "  -h, --help   show this text and exit\n"
           "  --version    show the version and exit\n"
           "  --desktop    as the desktop's menu starts it: screenshots go to the pictures folder\n"
           "  --           end of the options: a ROM whose name begins with \"-\" may follow\n"
           "               (or write it as ./-name.nes)\n"
           "\n"
           "Keys:\n"
           "  `  (left of 1)  opens and closes the console; \"help\" there lists its commands\n"
           "  Escape          quits Halvo\n"
           "  see man halvo for keys and bindings\n"
           "\n"
           "Files:\n"
           "  halvo.log                          what the console shows, in the folder Halvo starts in\n"
           "  $XDG_DATA_HOME/halvo/saves         battery saves (~/.local/share/halvo/saves)\n"
           "  $XDG_DATA_HOME/halvo/states        saved states (~/.local/share/halvo/states)\n"
           "  $XDG_CONFIG_HOME/halvo/config.cfg  settings (~/.config/halvo/config.cfg)\n"
           "\n"
           "The manual: man halvo\n";
}

std::string ProgramVersion() {
    return std::string("halvo ") + HALVO_VERSION + "\n";
}

} // namespace Halvo::App
