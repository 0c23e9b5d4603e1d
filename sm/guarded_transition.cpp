// GuardedTransition: the event test that adds the guard to the signal test.
#include "sm/guarded_transition.h"

bool GuardedTransition::eventTest(QEvent* event)
{
    if (!QSignalTransition::eventTest(event))
        return false;
    return guard && guard();
}
