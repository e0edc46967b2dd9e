#include "app/program.h"
#include "app/save_path.h"
#include "http/download.h"
#include "http/url_part.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/requester.h"
#include "ui/windows/events.h"

void paste_action() {
  // One read: a second one could see another program's newer clipboard.
  Text clipboard = get_clipboard_text();
  if (clipboard.empty()) return;
  set_gadget_text(GADGET_URL, clipboard);
}

void browse_action() {
  Text initial_folder = get_current_directory();
  program_state.chosen_folder = request_folder("Save downloaded file to:", initial_folder);
  if (program_state.chosen_folder.empty()) return;  // cancelled, or not a folder of the file system
  Text url = get_gadget_text(GADGET_URL);
  Text path = extract_url_part(url, "/PT/");
  set_gadget_text(GADGET_SAVE_AS, compose_save_path(program_state.chosen_folder, path));
}

void start_download_action() {
  append_gadget_line(GADGET_LOG, -1, LOG_STARTED);
  // The fields' texts exactly as they stand: a typed path is the user's choice.
  Text destination = get_gadget_text(GADGET_SAVE_AS);
  Text url = get_gadget_text(GADGET_URL);
  // The download keeps this thread; between its waits the window answers
  // what other threads and processes send it (the watcher's calls too) and
  // repaints, while clicks and keys wait in the queue until it ends.
  const WaitHook answer_meanwhile{[](void*) { answer_waiting_messages(); }, nullptr};
  int32_t result = download_to_file(url.c_str(), destination.c_str(), answer_meanwhile);
  append_gadget_line(GADGET_LOG, -1, result ? LOG_COMPLETE : LOG_FAILED);
}
