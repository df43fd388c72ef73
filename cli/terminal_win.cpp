#include "terminal.h"

#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <windows.h>

namespace Terminal {

namespace {

UINT g_codePageBefore = 0;

void restoreCodePage()
{
    SetConsoleOutputCP(g_codePageBefore);
}

} // namespace

bool stderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

int stderrColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void useUtf8Output()
{
    // The console keeps its code page after the tool ends, so it gets its own back.
    g_codePageBefore = GetConsoleOutputCP();
    if (g_codePageBefore != 0 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreCodePage);
}

void surviveClosedOutput()
{
    // A write to a closed pipe fails here anyway; there is no signal to stop.
}

} // namespace Terminal
