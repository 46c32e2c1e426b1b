#include "app/sessionend.h"

#include "app/tform4.h"

namespace darvolt {

TSessionEnd::TSessionEnd(TForm4 &form, darvolt::InterruptSignals &interrupts)
    : m_form(form), m_notifier(interrupts.wakeDescriptor(), QSocketNotifier::Read)
{
    m_form.RunOptions().stop = darvolt::InterruptSignals::stopFlag();
    connect(&m_notifier, &QSocketNotifier::activated, this, &TSessionEnd::signalled);
}

void TSessionEnd::signalled()
{
    m_notifier.setEnabled(false);
    // A run sees the flag by itself; closing is what Exit does, and it
    // takes effect once the run has returned.
    m_form.close();
}

} // namespace darvolt
