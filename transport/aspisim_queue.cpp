#include "transport/aspisim_queue.h"

#include <utility>

AspiSimCompanions& Companions() {
  static auto* companions = new AspiSimCompanions;
  return *companions;
}

uint64_t AspiSimQueue::Append(ASPISim& sim, std::unique_ptr<SptiRequest> request) {
  request->serial = ++sim.lastSerial_;
  request->next.reset();
  SptiRequest* const added = request.get();
  if (sim.lastRequest_ == nullptr)
    sim.firstRequest_ = std::move(request);
  else
    sim.lastRequest_->next = std::move(request);
  sim.lastRequest_ = added;
  ++sim.queueCount_;
  return added->serial;
}

SptiRequest* AspiSimQueue::FindBySrb(ASPISim& sim, const void* srb) {
  // The newest entry: a caller may queue its block again as soon as the
  // completion is posted, before the worker has let go of the old entry.
  SptiRequest* newest = nullptr;
  for (SptiRequest* r = sim.firstRequest_.get(); r != nullptr; r = r->next.get())
    if (r->srb == srb) newest = r;
  return newest;
}

SptiRequest* AspiSimQueue::FindBySerial(ASPISim& sim, uint64_t serial) {
  for (SptiRequest* r = sim.firstRequest_.get(); r != nullptr; r = r->next.get())
    if (r->serial == serial) return r;
  return nullptr;
}

SptiRequest* AspiSimQueue::FirstReady(ASPISim& sim) {
  for (SptiRequest* r = sim.firstRequest_.get(); r != nullptr; r = r->next.get())
    if (r->ready == 1) return r;
  return nullptr;
}

namespace {

// More spares than requests ever wait at once would only hold memory.
constexpr uint32_t MAX_SPARE_REQUESTS = 4;

}  // namespace

bool AspiSimQueue::Remove(ASPISim& sim, uint64_t serial) {
  std::unique_ptr<SptiRequest>* link = &sim.firstRequest_;
  SptiRequest* previous = nullptr;
  while (*link != nullptr && (*link)->serial != serial) {
    previous = link->get();
    link = &(*link)->next;
  }
  if (*link == nullptr) return false;
  std::unique_ptr<SptiRequest> found = std::move(*link);
  *link = std::move(found->next);
  if (sim.lastRequest_ == found.get()) sim.lastRequest_ = previous;
  --sim.queueCount_;
  if (sim.spareCount_ < MAX_SPARE_REQUESTS) {
    found->next = std::move(sim.spareRequests_);
    sim.spareRequests_ = std::move(found);
    ++sim.spareCount_;
  }
  return true;
}

std::unique_ptr<SptiRequest> AspiSimQueue::TakeSpare(ASPISim& sim) {
  if (sim.spareRequests_ == nullptr) return nullptr;
  std::unique_ptr<SptiRequest> spare = std::move(sim.spareRequests_);
  sim.spareRequests_ = std::move(spare->next);
  --sim.spareCount_;
  *spare = SptiRequest{};
  return spare;
}

void AspiSimQueue::Clear(ASPISim& sim) {
  // One by one, so a long queue cannot recurse through the chain.
  while (sim.firstRequest_ != nullptr) sim.firstRequest_ = std::move(sim.firstRequest_->next);
  sim.lastRequest_ = nullptr;
  sim.queueCount_ = 0;
}
