// The names of the files that the site's chart cache keeps in the scripts
// folder, known to the cache and to setup's removal: the chart images
// "kiv_chart_*.png" and the lock file through which the request threads and
// processes share the cache.
//
// Thread safety: constants.
#pragma once

namespace tellwen {

inline constexpr const char* kChartFilePrefix = "kiv_chart_";
inline constexpr const char* kChartFileSuffix = ".png";
inline constexpr const char* kChartLockName = "kiv_chart_mutex1.lock";

}  // namespace tellwen
