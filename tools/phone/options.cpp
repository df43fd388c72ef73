#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <type_traits>

namespace {

bool parseNumber(const std::string &text, std::uint64_t &value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = parsed;
    return true;
}

} // namespace

std::string usageText(const char *programName)
{
    return std::string("Usage: ") + programName + " [options] <folder>\n"
        "\n"
        "Simulates a phone on a pseudo-terminal. Its application folder\n"
        "\"/tpa/preset/system/oaf/\" holds the files and sub-folders of <folder>.\n"
        "The slave device path is printed as the first line of standard output.\n"
        "Runs until SIGINT/SIGTERM or until --hangup-after fires (and, with\n"
        "--return-after, the phone does not come back).\n"
        "\n"
        "Options:\n"
        "  --path-file FILE     also write the slave device path to FILE\n"
        "  --no-echo            start with command echo off (as after ATE0)\n"
        "  --not-a-phone        play a modem of another kind: AT, ATE and ATI are\n"
        "                       answered OK, every other command ERROR\n"
        "  --chunk-width N      split *ERIF data into lines of N hex digits\n"
        "                       (default: all data on one line)\n"
        "  --split safe|anywhere\n"
        "                       send output in pieces of random size with pauses;\n"
        "                       'safe' never cuts inside OK or ERROR\n"
        "  --max-piece N        largest piece size in bytes for --split (default 64)\n"
        "  --pause-us N         pause between pieces in microseconds (default 1000)\n"
        "  --rate N             limit output to N bytes per second\n"
        "  --seed N             seed for the random piece sizes and the changed digit\n"
        "                       (default 1)\n"
        "  --fail-read N        answer the Nth AT*ERIF (1-based) with ERROR\n"
        "  --corrupt-read N     change one hex digit of the data in the Nth AT*ERIF's\n"
        "                       reply (1-based), as a noisy line would\n"
        "  --bad-count-read N   the Nth AT*ERIF's reply (1-based) states a byte count\n"
        "                       10 higher than the data it holds\n"
        "  --short-data-read N  the Nth AT*ERIF's reply (1-based) loses its last data\n"
        "                       byte but states the full count\n"
        "  --hangup-after N     after the Nth AT*ERIF reply, close the line and exit\n"
        "  --hangup-midway      with --hangup-after: drop the line halfway through\n"
        "                       that reply's bytes instead\n"
        "  --return-after S     with --hangup-after: S seconds after the hang-up the\n"
        "                       phone is back on a new pseudo-terminal, whose path\n"
        "                       is printed and written to --path-file\n"
        "  --link PATH          keep a symbolic link at PATH to the current line;\n"
        "                       absent while the cable is out\n"
        "  --log FILE           append every received byte to FILE\n"
        "  --help               show this text\n";
}

ParsedOptions parseOptions(int argc, char **argv)
{
    ParsedOptions result;
    Options &options = result.options;
    auto fail = [&result](const std::string &message) {
        result.outcome = ParsedOptions::Outcome::Error;
        result.error = message;
        return result;
    };

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            result.outcome = ParsedOptions::Outcome::Help;
            return result;
        }
        if (arg.rfind("--", 0) != 0) {
            if (!options.folder.empty())
                return fail("more than one folder given: " + arg);
            options.folder = arg;
            continue;
        }
        if (arg == "--no-echo") {
            options.echo = false;
            continue;
        }
        if (arg == "--not-a-phone") {
            options.notAPhone = true;
            continue;
        }
        if (arg == "--hangup-midway") {
            options.hangupMidway = true;
            continue;
        }

        // Every other option takes a value, as "--name value" or "--name=value".
        std::string value;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return fail("missing value for " + arg);
        }

        std::uint64_t number = 0;
        const bool isNumber = parseNumber(value, number);
        auto needNumber = [&](std::uint64_t minimum, std::uint64_t maximum, auto &target) {
            if (!isNumber || number < minimum || number > maximum)
                return false;
            target = static_cast<std::remove_reference_t<decltype(target)>>(number);
            return true;
        };

        bool ok = true;
        if (arg == "--path-file") {
            options.pathFile = value;
        } else if (arg == "--link") {
            options.linkPath = value;
        } else if (arg == "--return-after") {
            ok = needNumber(1, 86400, options.returnAfter);
        } else if (arg == "--log") {
            options.logFile = value;
        } else if (arg == "--split") {
            if (value == "safe")
                options.split = SplitMode::Safe;
            else if (value == "anywhere")
                options.split = SplitMode::Anywhere;
            else
                ok = false;
        } else if (arg == "--max-piece") {
            ok = needNumber(1, 1u << 20, options.maxPiece);
        } else if (arg == "--pause-us") {
            ok = needNumber(0, 60'000'000, options.pauseMicros);
        } else if (arg == "--rate") {
            ok = needNumber(1, UINT64_MAX, options.rate);
        } else if (arg == "--seed") {
            ok = needNumber(0, UINT64_MAX, options.seed);
        } else if (arg == "--chunk-width") {
            ok = needNumber(1, UINT64_MAX, options.chunkWidth);
        } else if (arg == "--fail-read") {
            ok = needNumber(1, UINT64_MAX, options.failRead);
        } else if (arg == "--corrupt-read") {
            ok = needNumber(1, UINT64_MAX, options.corruptRead);
        } else if (arg == "--bad-count-read") {
            ok = needNumber(1, UINT64_MAX, options.badCountRead);
        } else if (arg == "--short-data-read") {
            ok = needNumber(1, UINT64_MAX, options.shortDataRead);
        } else if (arg == "--hangup-after") {
            ok = needNumber(1, UINT64_MAX, options.hangupAfter);
        } else {
            return fail("unknown option " + arg);
        }
        if (!ok)
            return fail("bad value for " + arg + ": " + value);
    }

    if (options.folder.empty())
        return fail("no folder given");
    if (options.returnAfter != 0 && options.hangupAfter == 0)
        return fail("--return-after needs --hangup-after");
    if (options.hangupMidway && options.hangupAfter == 0)
        return fail("--hangup-midway needs --hangup-after");
    result.outcome = ParsedOptions::Outcome::Run;
    return result;
}
