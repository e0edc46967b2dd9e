#pragma once
// Installs the calling thread's WH_GETMESSAGE hook, through which
// message_origin notes each message the thread takes from its queue.
//
// In a file of its own so that a test program can link a version that
// fails: nothing outside the process can make the platform refuse the hook,
// so only such a program can show what a start without it does. Nothing the
// process reads at run time can switch it off.
#include <windows.h>

// The hook, or null when the platform refused it.
HHOOK install_taken_message_hook(HOOKPROC procedure);
