#include "app/off_thread_run_gui.h"

#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <thread>

namespace tolvane {

void runOffThread(const std::function<void()>& operation, const std::function<void()>& cancel) {
  QEventLoop loop;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    operation();
    finished.store(true);
    // Queued: the quit reaches the loop even when it has not started yet.
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  // The loop can end before the worker (an application quitting ends every
  // local loop): have the operation give up, and wait for it.
  if (!finished.load()) cancel();
  worker.join();
  // The quit posted by the worker may still be waiting for a loop that is
  // gone; it is dropped with the loop object's pending events.
}

}  // namespace tolvane
