#pragma once
// Bodies that many answers send at once (a list's download, the browser page's JSON of both
// lists): built once per version of what they show, immutable, shared by every connection
// that sends them, and counted against one limit for as long as any of them still holds one,
// so that slow readers keep old versions alive only within that limit.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

namespace reef::listserver {

using SharedBody = std::shared_ptr<const std::string>;

class BodyBudget {
  public:
    explicit BodyBudget(std::size_t maxBytes) : maxBytes_(maxBytes) {}

    // The bytes as a shared body, counted until its last holder lets go; nothing when they
    // would take the bodies in memory past the limit.
    SharedBody hold(std::string bytes) const;

    std::size_t bytes() const { return *used_; }
    std::size_t maxBytes() const { return maxBytes_; }

  private:
    std::size_t maxBytes_;
    // Shared with the bodies' deleters: a body may outlive the budget's owner.
    std::shared_ptr<std::atomic<std::size_t>> used_ = std::make_shared<std::atomic<std::size_t>>(0);
};

} // namespace reef::listserver
