// Thread priorities of the index job. IndexerScanPriority holds 0..6 (idle,
// lowest, below normal, normal, above normal, highest, time critical); every
// thread of the job applies it to itself when it starts.
//
// On Linux "idle" is the SCHED_IDLE policy and the others are nice values of
// the calling thread: lowest 10, below normal 5, normal 0, above normal -5,
// highest -10, time critical -15. A change the system refuses (raising the
// priority without the right to) is ignored: the thread runs as it is.
//
// Thread safety: ApplyScanPriority changes the calling thread only.
#pragma once

namespace tellwen::indexer {

enum class ScanPriority {
  kIdle,
  kLowest,
  kBelowNormal,
  kNormal,
  kAboveNormal,
  kHighest,
  kTimeCritical
};

// The priority a stored value stands for; any other value is normal.
ScanPriority ScanPriorityFromStored(int stored);

// The nice value of a priority (kIdle: 19, used with SCHED_IDLE).
int NiceValueOf(ScanPriority priority);

// Applies priority to the calling thread; returns false when refused.
bool ApplyScanPriority(ScanPriority priority);

}  // namespace tellwen::indexer
