#include "download/job_text.h"

#include "download/progress_text.h"
#include "transfer/retry.h"

namespace {
constexpr int64_t kSilenceShownAfterMs = 5000;
}

std::string jobStatusText(const TransferJob& job, const Clock& clock) {
  if (!isRunning(job)) return {};
  if (job.running == 0 && job.retry.waiting > 0) {
    const int64_t seconds = retrySecondsLeft(job.retry.waitMs, job.retry.wait.elapsed(clock));
    return "Retrying in " + durationText(static_cast<uint64_t>(seconds), false);
  }
  const int64_t silence = job.lastActivity.elapsed(clock);
  const int64_t speed = job.speed;
  std::string text;
  if (silence == -1 || silence <= kSilenceShownAfterMs) {
    if (speed <= 0) {
      text = "Getting";
    } else if (job.totalSize == -1) {
      text = "Getting " + speedText(static_cast<uint64_t>(speed));
    } else {
      // Rounded to the nearest second; never 0 while bytes remain to be got.
      int64_t left = job.totalSize - job.bytesGot;
      int64_t seconds = left > 0 ? (left * 2 / speed + 1) / 2 : 0;
      if (seconds == 0) seconds = 1;
      text = durationText(static_cast<uint64_t>(seconds), false) + " at " +
             speedText(static_cast<uint64_t>(speed)) + " to get";
    }
  } else {
    text = "No response for " + durationText(static_cast<uint64_t>(silence / 1000), true);
  }
  if (job.running > 1) text += " from " + countText(job.running, "connection");
  return text;
}

std::string jobSizeText(const TransferJob& job) {
  const int64_t total = job.totalSize;
  const int64_t got = job.bytesGot;
  if (total == -1) return got == 0 ? std::string() : "Saved " + sizeText(got);
  if (got == 0) return sizeText(total);
  int64_t percent = total > 0 ? got * 100 / total : 100;
  if (percent == 0) return sizeText(got) + "/" + sizeText(total);
  if (percent >= 100) return sizeText(total);
  return std::to_string(percent) + "% " + sizeText(got) + "/" + sizeText(total);
}
