#include "platform/library_worker.h"

#include <thread>

namespace platform {

struct LibraryWorker::State {
  std::thread thread;
};

LibraryWorker::LibraryWorker(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->thread = std::thread(std::move(body));
}

LibraryWorker::~LibraryWorker() { state_->thread.join(); }

}  // namespace platform
