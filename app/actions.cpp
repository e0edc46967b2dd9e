#include "app/download_job.h"
#include "app/download_lines.h"
#include "app/program.h"
#include "app/save_path.h"
#include "http/split_url.h"
#include "net/clock.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/requester.h"
#include "ui/windows/events.h"

namespace {

// When the running download was pressed for, for its summary line.
uint64_t download_started_at = 0;

// Every download's log ends with its reason or summary line, then the
// verdict; the bar and the button show the end.
void finish_download() {
  const DownloadReport& report = ended_download_job();
  const bool complete = report.outcome == DownloadOutcome::COMPLETE;
  const LogLine line = complete ? success_line(report, monotonic_milliseconds() - download_started_at)
                                : failure_line(report, program_state.download_destination);
  append_gadget_line(GADGET_LOG, -1, line.view());
  append_gadget_line(GADGET_LOG, -1, complete ? LOG_COMPLETE : LOG_FAILED);
  show_download_ended(complete);
  forget_download_job();
}

}  // namespace

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
  // The path as the download's request reads it: a "?" or "#" that comes
  // before any "/" ends the host, and then there is no path to propose.
  set_gadget_text(GADGET_SAVE_AS, compose_save_path(program_state.chosen_folder, find_file_path_part(url)));
}

void start_download_action() {
  if (download_job_running()) {
    stop_download_job();  // the button reads "Stop"
    return;
  }
  download_started_at = monotonic_milliseconds();
  append_gadget_line(GADGET_LOG, -1, LOG_STARTED);
  // The fields' texts exactly as they stand: a typed path is the user's
  // choice. What is typed from now on is for the next download.
  program_state.download_destination = get_gadget_text(GADGET_SAVE_AS);
  Text url = get_gadget_text(GADGET_URL);
  show_download_started();
  if (!start_download_job(url, program_state.download_destination)) {
    append_gadget_line(GADGET_LOG, -1, "The download could not be started: the system gave no thread for it.");
    append_gadget_line(GADGET_LOG, -1, LOG_FAILED);
    show_download_ended(false);
  }
}

bool take_download_event() {
  switch (download_job_event(event_data())) {
    case JobEvent::PROGRESS:
      show_download_progress();
      return false;
    case JobEvent::ENDED:
      finish_download();
      return true;
    case JobEvent::NONE:
      break;
  }
  return false;
}

void stop_download() { stop_download_job(); }

bool download_running() { return download_job_running(); }

void end_session() {
  // The process may be ended the moment this returns: the download's file
  // is closed and removed first. A stop takes at most a wait slice, or a
  // name lookup, which has no file yet; the platform itself waits about
  // five seconds for a program at the session's end.
  stop_download_job_and_wait(5000);
}
