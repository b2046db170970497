#include "listserver/core/shared_body.h"

namespace reef::listserver {

SharedBody BodyBudget::hold(std::string bytes) const {
    const std::size_t size = bytes.size();
    if (used_->fetch_add(size) + size > maxBytes_) {
        used_->fetch_sub(size);
        return nullptr;
    }
    try {
        return SharedBody(new std::string(std::move(bytes)),
                          [counter = used_, size](const std::string* gone) {
                              counter->fetch_sub(size);
                              delete gone;
                          });
    } catch (...) {
        used_->fetch_sub(size);
        throw;
    }
}

} // namespace reef::listserver
