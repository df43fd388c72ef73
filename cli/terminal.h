#pragma once

// What the tool needs to know of the terminal it writes to; one file per system.
namespace Terminal {

// True when a person watches standard error, so progress may be drawn in place.
bool stderrIsTerminal();
// How many characters a line of that terminal holds; 0 when unknown.
int stderrColumns();
// Makes a console show the tool's UTF-8 text as such for as long as the tool runs.
void useUtf8Output();
// A reader of the output that went away (a closed pipe) makes the next write
// fail instead of ending the tool before it has closed the port.
void surviveClosedOutput();

} // namespace Terminal
