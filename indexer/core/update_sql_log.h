// The update log, sql_log.txt in the folder of SqlLogFolder: one record per
// task of the update script, appended as the task ends, so that a failed
// update can be diagnosed afterwards.
//
// Record lines (CR LF line ends): "job   : " + task name, "body  : " + task
// body (after placeholder replacement; it spans several lines), "result: " +
// "done" or the error text, "time  : " + run time "%H:%M:%S", two empty lines.
//
// Thread safety: each call opens, appends and closes the file; records of one
// writer never interleave. Meant for the update runner's thread.
#pragma once

#include <string>

namespace tellwen::indexer {

// SqlLogFolder + "sql_log.txt" (a "/" is put between when the folder lacks it).
std::string SqlLogPath(const std::string& log_folder);

// Appends one record. Returns false when the file cannot be written (the
// update goes on: the log is a diagnosis aid, not part of the result).
bool AppendSqlLogRecord(const std::string& path, const std::string& job, const std::string& body,
                        const std::string& result, const std::string& time);

}  // namespace tellwen::indexer
