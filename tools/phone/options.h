// Command-line options of the phone simulator.
#pragma once

#include <cstdint>
#include <string>

enum class SplitMode { None, Safe, Anywhere };

struct Options {
    std::string folder;          // local folder served as the phone's application folder
    std::string pathFile;        // where to write the slave device path as well
    std::string logFile;         // raw log of every received byte
    SplitMode split = SplitMode::None;
    unsigned maxPiece = 64;      // largest piece when splitting replies
    unsigned pauseMicros = 1000; // pause between pieces
    std::uint64_t rate = 0;      // output bytes per second, 0 = as fast as the line takes
    std::uint64_t seed = 1;
    std::uint64_t chunkWidth = 0; // hex digits per *ERIF line, 0 = all on one line
    std::uint64_t failRead = 0;   // answer this file read (1-based) with ERROR
    std::uint64_t corruptRead = 0; // change one data digit of this file read's reply
    std::uint64_t badCountRead = 0; // state a count 10 too high in this file read's reply
    std::uint64_t shortDataRead = 0; // drop the last data byte of this file read's reply
    std::uint64_t hangupAfter = 0; // drop the line after this file read's reply
    bool hangupMidway = false;     // ... or halfway through its bytes instead
    std::uint64_t returnAfter = 0; // seconds until the line is back after the hang-up, 0 = never
    std::string linkPath;          // a symbolic link kept pointing at the current line
    bool echo = true;
    bool notAPhone = false;      // a modem of another kind: no file commands
};

struct ParsedOptions {
    enum class Outcome { Run, Help, Error } outcome = Outcome::Error;
    Options options;
    std::string error;
};

ParsedOptions parseOptions(int argc, char **argv);
std::string usageText(const char *programName);
