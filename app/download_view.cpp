// What the window shows of a download: the button reads "Stop" while it
// runs, and the bar shows the share received when the length is known, or
// moves on its own (the platform's marquee) while bytes of an unknown
// length arrive.
#include "app/download_job.h"
#include "app/program.h"
#include "net/clock.h"
#include "ui/gadgets/gadgets.h"

namespace {

// A body of unknown length whose bytes stopped coming this long ago stops
// the marquee: the bar shows that nothing arrives.
constexpr uint64_t STALL_MS = 1000;

struct View {
  int64_t last_received;
  uint64_t last_change;
};

View view;

void show_position(int32_t position) {
  set_gadget_attribute(GADGET_PROGRESS, ATTR_MARQUEE, 0);
  set_gadget_state(GADGET_PROGRESS, position);
}

}  // namespace

void show_download_started() {
  view = {0, monotonic_milliseconds()};
  set_gadget_attribute(GADGET_PROGRESS, ATTR_MINIMUM, 0);
  set_gadget_attribute(GADGET_PROGRESS, ATTR_MAXIMUM, PROGRESS_STEPS);
  show_position(0);
  set_gadget_text(GADGET_START, STOP_TEXT);
}

void show_download_progress() {
  const DownloadProgress progress = download_job_progress();
  if (!progress.in_body) return;
  if (progress.length >= 0) {
    // In doubles: a count times the steps could pass 63 bits.
    const double share = progress.length > 0 ? static_cast<double>(progress.received) / progress.length : 0.0;
    show_position(static_cast<int32_t>(share * PROGRESS_STEPS));
    return;
  }
  const uint64_t now = monotonic_milliseconds();
  if (progress.received != view.last_received) {
    view = {progress.received, now};
    set_gadget_attribute(GADGET_PROGRESS, ATTR_MARQUEE, 1);
  } else if (now - view.last_change >= STALL_MS) {
    show_position(0);
  }
}

void show_download_ended(bool complete) {
  show_position(complete ? PROGRESS_STEPS : 0);
  set_gadget_text(GADGET_START, START_TEXT);
}
