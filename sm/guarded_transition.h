// GuardedTransition: a signal transition that is taken only when its guard also agrees.
#pragma once

#include <QSignalTransition>

#include <functional>

class GuardedTransition : public QSignalTransition {
public:
    using Guard = std::function<bool()>;

    template <typename Func>
    GuardedTransition(typename QtPrivate::FunctionPointer<Func>::Object const* sender, Func signal, Guard guard_function,
                      QState* source = nullptr)
        : QSignalTransition(sender, signal, source), guard(std::move(guard_function))
    {
    }

    Guard guard;

protected:
    // The guard is asked only about events that the plain signal test accepts.
    bool eventTest(QEvent* event) override;
};
