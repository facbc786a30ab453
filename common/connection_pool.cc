#include "common/connection_pool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "base/thread_annotations.h"

namespace tellwen {
namespace {

// A web server runs up to a few dozen pages at once, each taking one
// connection per call: keeping fewer than that makes a busy server open and
// close a connection for most calls (login check, attach, settings and the
// first reads of a fresh memory map each time).
constexpr size_t kIdlePerOptions = 32;
constexpr size_t kIdleInAll = 96;

std::string OptionsKey(const sqlserver::ConnectOptions& o) {
  std::string key;
  for (const std::string* part : {&o.data_dir, &o.data_source, &o.database, &o.user, &o.password}) {
    key += std::to_string(part->size());
    key += ':';
    key += *part;
  }
  key += '|';
  key += std::to_string(o.connection_timeout_seconds);
  key += '|';
  key += std::to_string(o.command_timeout_seconds);
  key += o.engine == sqlserver::SqlEngine::kPostgresql ? 'p' : 'e';
  key += o.bulk ? 'b' : '-';
  key += o.use_substring_indexes ? 's' : '-';
  key += o.environment.substring_index_reads ? 'r' : '-';
  key += o.environment.trace_statements ? 't' : '-';
  for (const auto* list : {&o.log_tables, &o.substring_columns}) {
    key += '|';
    for (const std::string& name : *list) {
      key += name;
      key += ',';
    }
  }
  return key;
}

// The state of master.sqlite and its log: any write to the logins or the
// databases changes one of them.
std::string MasterMark(const std::string& data_dir) {
  std::string mark;
  for (const char* suffix : {"", "-wal"}) {
    struct stat st {};
    if (stat((data_dir + "/master.sqlite" + suffix).c_str(), &st) != 0) {
      mark += "none;";
      continue;
    }
    mark += std::to_string(st.st_size) + ',' + std::to_string(st.st_mtim.tv_sec) + ',' +
            std::to_string(st.st_mtim.tv_nsec) + ',' + std::to_string(st.st_ino) + ';';
  }
  return mark;
}

struct Pool {
  // The process that kept the connections: a child made by fork() must not
  // use its parent's SQLite handles (nor take this lock), so it keeps none.
  const pid_t pid = getpid();
  Mutex mutex;
  std::map<std::string, std::vector<PooledConnection>> idle GUARDED_BY(mutex);
  size_t idle_count GUARDED_BY(mutex) = 0;
};

Pool& ThePool() {
  // Never destroyed: callers may run while the process ends.
  static Pool* pool = new Pool;
  return *pool;
}

}  // namespace

PooledConnection TakePooledConnection(const sqlserver::ConnectOptions& options,
                                      sqlserver::SqlError* error) {
  PooledConnection taken;
  taken.key = OptionsKey(options);
  const std::string mark = MasterMark(options.data_dir);
  std::vector<PooledConnection> stale;  // closed outside the lock
  if (ThePool().pid == getpid()) {
    Pool& pool = ThePool();
    MutexLock lock(pool.mutex);
    auto found = pool.idle.find(taken.key);
    while (found != pool.idle.end() && !found->second.empty()) {
      PooledConnection kept = std::move(found->second.back());
      found->second.pop_back();
      --pool.idle_count;
      if (kept.master_mark == mark) {
        taken = std::move(kept);
        break;
      }
      stale.push_back(std::move(kept));
    }
  }
  if (taken.connection) return taken;
  taken.master_mark = mark;
  taken.connection = sqlserver::Connection::Open(options, error);
  return taken;
}

void GivePooledConnection(PooledConnection pooled) {
  Pool& pool = ThePool();
  if (pool.pid != getpid() || !pooled.connection || !pooled.connection->Reset()) return;
  std::vector<PooledConnection> evicted;  // closed outside the lock
  MutexLock lock(pool.mutex);
  std::vector<PooledConnection>& same = pool.idle[pooled.key];
  if (same.size() >= kIdlePerOptions) return;
  if (pool.idle_count >= kIdleInAll) {
    // Room is made by closing the connections kept for other options
    // (another database, another login, a data folder gone).
    for (auto& [key, list] : pool.idle) {
      if (key == pooled.key) continue;
      for (PooledConnection& c : list) evicted.push_back(std::move(c));
      pool.idle_count -= list.size();
      list.clear();
    }
    if (pool.idle_count >= kIdleInAll) return;
  }
  same.push_back(std::move(pooled));
  ++pool.idle_count;
}

}  // namespace tellwen
