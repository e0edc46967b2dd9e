#include "ui/windows/taken_message_hook.h"

HHOOK install_taken_message_hook(HOOKPROC procedure) {
  return SetWindowsHookExA(WH_GETMESSAGE, procedure, nullptr, GetCurrentThreadId());
}
