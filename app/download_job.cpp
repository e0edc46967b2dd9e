#include "app/download_job.h"

#include <windows.h>

#include <atomic>

#include "app/program.h"
#include "base/threads.h"
#include "http/download.h"
#include "ui/windows/toolkit_windows.h"

namespace {

// The one job. The window's thread fills the texts and the window before it
// starts the worker and reads the report only after the ENDED event, so the
// two threads never use those fields at once; the rest is atomic.
struct DownloadJob {
  Text url;
  Text destination;
  HWND window = nullptr;
  int32_t serial = 0;  // tells this job's events from an earlier job's
  DownloadReport report;

  std::atomic<bool> running{false};
  std::atomic<bool> stop_asked{false};
  std::atomic<bool> progress_posted{false};  // one progress event in the queue at most
  std::atomic<bool> in_body{false};
  std::atomic<int64_t> received{0};
  std::atomic<int64_t> length{-1};
  HANDLE file_done = nullptr;  // set once the worker is done with the file
  HANDLE job_ready = nullptr;  // set by the window's thread: the job's texts are in place
  int32_t worker = 0;          // the worker's thread number, 0 until the first job
};

DownloadJob job;

void post_job_event(HWND window, int32_t serial, JobEvent what) {
  EventData* record = allocate_event_data();
  if (!record) return;
  record->words[0] = static_cast<int32_t>(what);
  record->words[1] = serial;
  if (!PostMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(record))) free_event_data(record);
}

// The download's wait hook, on the worker: reports progress (at the hook's
// pace, at most every WAIT_HOOK_PERIOD_MS, and never faster than the window
// reads it) and answers whether to go on.
bool between_waits(void*) {
  job.in_body.store(job.report.in_body);
  job.received.store(job.report.received);
  job.length.store(job.report.length);
  if (!job.progress_posted.exchange(true)) post_job_event(job.window, job.serial, JobEvent::PROGRESS);
  return !job.stop_asked.load();
}

// One worker for every job of the program: started with the first, it
// waits for the next between jobs, and the process's end ends it wherever
// it waits, as it ends the watcher. A thread per job would cost its start
// and its end every time.
unsigned long __stdcall run_download_jobs(void*) {
  for (;;) {
    WaitForSingleObject(job.job_ready, INFINITE);
    download_with_report(job.url.c_str(), job.destination.c_str(), {between_waits, nullptr}, job.report);
    // The report and the file are final: the window's thread may read the
    // one and count on the other from here on. The post is the job's last
    // use of its record.
    const HWND window = job.window;
    const int32_t serial = job.serial;
    SetEvent(job.file_done);
    post_job_event(window, serial, JobEvent::ENDED);
  }
}

// The events and the worker, made with the first job; false when the
// platform gives none of them.
bool ready_worker() {
  if (!job.file_done) job.file_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!job.job_ready) job.job_ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!job.file_done || !job.job_ready) return false;
  if (job.worker == 0) job.worker = start_thread(run_download_jobs, 0);
  return job.worker != 0;
}

}  // namespace

bool start_download_job(TextRef url, TextRef destination) {
  if (job.running.load()) return false;
  WindowRecord* record = find_window_record(WINDOW_MAIN);
  if (!record || !ready_worker()) return false;
  ResetEvent(job.file_done);
  job.url = make_text(url);
  job.destination = make_text(destination);
  job.window = record->window;
  ++job.serial;
  job.report = DownloadReport{};
  job.stop_asked.store(false);
  job.progress_posted.store(false);
  job.in_body.store(false);
  job.received.store(0);
  job.length.store(-1);
  job.running.store(true);
  SetEvent(job.job_ready);
  return true;
}

bool download_job_running() { return job.running.load(); }

void stop_download_job() {
  if (job.running.load()) job.stop_asked.store(true);
}

void stop_download_job_and_wait(uint32_t timeout_ms) {
  if (!job.running.load()) return;
  job.stop_asked.store(true);
  WaitForSingleObject(job.file_done, timeout_ms);
}

JobEvent download_job_event(const EventData* data) {
  if (!data || !job.running.load() || data->words[1] != job.serial) return JobEvent::NONE;
  const auto what = static_cast<JobEvent>(data->words[0]);
  return what == JobEvent::PROGRESS || what == JobEvent::ENDED ? what : JobEvent::NONE;
}

DownloadProgress download_job_progress() {
  job.progress_posted.store(false);
  return {job.in_body.load(), job.received.load(), job.length.load()};
}

const DownloadReport& ended_download_job() {
  // Set before the ENDED event was posted: the report is the worker's no more.
  WaitForSingleObject(job.file_done, INFINITE);
  return job.report;
}

void forget_download_job() { job.running.store(false); }
