#include "monitor/core/worker_thread.h"

namespace tellwen::monitor {

WorkerThread::~WorkerThread() {
  if (!thread_.joinable()) return;
  if (ended_future_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

void WorkerThread::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    worker_.Run();
    ended_.set_value();
  });
}

bool WorkerThread::WaitEnded(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  if (ended_future_.wait_for(timeout) != std::future_status::ready) return false;
  thread_.join();
  return true;
}

}  // namespace tellwen::monitor
