#include "app/sessionend.h"

#include "app/tform4.h"

namespace darvolt {

TSessionEnd::TSessionEnd(TForm4 &form, darvolt::InterruptSignals &interrupts)
    : m_form(form), m_notifier(interrupts.wakeDescriptor(), QSocketNotifier::Read)
{
    m_form.SetStopFlag(darvolt::InterruptSignals::stopFlag());
    connect(&m_notifier, &QSocketNotifier::activated, this, &TSessionEnd::signalled);
}

void TSessionEnd::signalled()
{
    m_notifier.setEnabled(false);
    // A run has seen the flag by itself already; what is left is whatever
    // waits for an answer, and the window.
    m_form.EndSession();
}

} // namespace darvolt
