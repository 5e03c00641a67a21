#include "ConnectUI/Async/EngineThreads.hpp"

namespace tarnwick {

EngineThreads::EngineThreads(int networkThreads, int blockingThreads) : pool_(blockingThreads) {
    for (int i = 0; i < networkThreads; ++i) {
        threads_.emplace_back([this] { context_.run(); });
    }
}

EngineThreads::~EngineThreads() {
    stop();
}

void EngineThreads::stop() {
    keepRunning_.reset();
    context_.stop();
    pool_.stop();
    for (auto& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    pool_.join();
}

} // namespace tarnwick
