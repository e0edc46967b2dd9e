#pragma once
// The download runs on a thread of its own (one for all downloads of the
// program), so that the window stays live while it lasts: the window's thread starts it, may ask it to stop, and
// hears of its progress and its end as data events (EVENT_DATA_WINDOW)
// posted to the main window. The worker never sends to the window and never
// touches a gadget, so the window's thread may wait for it without a
// deadlock. One job at a time; everything here but the worker itself runs
// on the window's thread.
#include <cstdint>

#include "base/text.h"
#include "http/download_outcome.h"
#include "ui/windows/events.h"

// What a job's data event says (the record's first word).
enum class JobEvent : int32_t { NONE = 0, PROGRESS = 1, ENDED = 2 };

struct DownloadProgress {
  bool in_body;     // the head has been read; the body is under way
  int64_t received; // body bytes written so far
  int64_t length;   // the announced length, -1 when none
};

// Starts a job for these texts (the job keeps its own copies); false when
// one runs already or the worker cannot be started.
bool start_download_job(TextRef url, TextRef destination);
bool download_job_running();
// Asks the running job to stop: its waits end at their next slice (at most
// WAIT_HOOK_PERIOD_MS), a name lookup as soon as it returns; its end event
// follows as for any end.
void stop_download_job();
// For the session's end, when the process may be ended the moment the
// caller returns: asks the running job to stop and waits, at most
// timeout_ms, until its file is closed and removed.
void stop_download_job_and_wait(uint32_t timeout_ms);

// What a data event means: NONE for anything but the running job's own.
JobEvent download_job_event(const EventData* data);
// The job's progress as of its last report; the next report is posted once
// this one has been read.
DownloadProgress download_job_progress();
// Once its ENDED event has come: the job's report, valid until the next
// start.
const DownloadReport& ended_download_job();
// Leaves the job's end behind: no job runs any more.
void forget_download_job();
