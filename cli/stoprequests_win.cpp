#include "stoprequests.h"

#include <QMetaObject>

#include <windows.h>

namespace {

StopRequests *g_instance = nullptr;

// Runs on a thread of its own that the console starts: hands the request to the
// event loop's thread and tells the console it is taken care of.
BOOL WINAPI noteStop(DWORD event)
{
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || !g_instance)
        return FALSE;
    QMetaObject::invokeMethod(g_instance, [] { emit g_instance->requested(); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

StopRequests::StopRequests(QObject *parent)
    : QObject(parent)
{
    g_instance = this;
    SetConsoleCtrlHandler(noteStop, TRUE);
}

StopRequests::~StopRequests()
{
    SetConsoleCtrlHandler(noteStop, FALSE);
    g_instance = nullptr;
}
