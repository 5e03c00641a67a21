#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <asio/execution.hpp>
#include <asio/execution_context.hpp>

#include <utility>

namespace tarnwick {

/// The Qt thread seen by Asio: work handed to it runs as an event of this object, so on the thread
/// the object lives in (the main thread for the application state). Create it before and destroy it
/// after every coroutine that runs on it; events still queued when it goes are dropped.
class QtExecutionContext : public QObject, public asio::execution_context {
public:
    explicit QtExecutionContext(QObject* parent = nullptr) : QObject(parent) {}
    ~QtExecutionContext() override;

    /// Queues the function to run on this object's thread; safe from any thread.
    template <typename Function> void post(Function function) {
        QCoreApplication::postEvent(this, new Job<Function>(std::move(function)));
    }

protected:
    bool event(QEvent* event) override;

private:
    class JobBase : public QEvent {
    public:
        JobBase() : QEvent(type()) {}
        virtual void run() = 0;
        static QEvent::Type type();
    };

    template <typename Function> class Job final : public JobBase {
    public:
        explicit Job(Function function) : function_(std::move(function)) {}
        void run() override { std::move(function_)(); }

    private:
        Function function_;
    };
};

/// An Asio executor that runs work on the Qt event loop of a `QtExecutionContext`. Coroutines spawned on
/// it run on the main thread and, when they await an engine actor, resume there. It never runs work
/// inline: every call is queued, so state is never touched from inside another operation.
class QtExecutor {
public:
    explicit QtExecutor(QtExecutionContext& context) noexcept : context_(&context) {}

    asio::execution_context& query(asio::execution::context_t) const noexcept { return *context_; }
    static constexpr asio::execution::blocking_t query(asio::execution::blocking_t) noexcept {
        return asio::execution::blocking.never;
    }
    QtExecutor require(asio::execution::blocking_t::never_t) const noexcept { return *this; }

    template <typename Function> void execute(Function function) const {
        context_->post(std::move(function));
    }

    friend bool operator==(const QtExecutor& a, const QtExecutor& b) noexcept {
        return a.context_ == b.context_;
    }
    friend bool operator!=(const QtExecutor& a, const QtExecutor& b) noexcept { return !(a == b); }

private:
    QtExecutionContext* context_;
};

} // namespace tarnwick
