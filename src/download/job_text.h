#pragma once
#include <string>

#include "transfer/transfer_job.h"
#include "platform/clock.h"

// The Status text of an item or page with a running job: "Getting", "Getting 3.42 KB/s",
// "2 min 5 sec at 12.3 KB/s to get", or "No response for 15 sec" after 5 s of silence,
// with " from 2 connections" when more than one runs; "Retrying in 8 sec" while nothing runs
// and a connection waits to be tried again. Empty when the job is not running.
std::string jobStatusText(const TransferJob& job, const Clock& clock);
// The Size text of an item with a job: "Saved 12 KB" while the size is unknown, "1,024 KB",
// "42% 430 KB/1,024 KB".
std::string jobSizeText(const TransferJob& job);
