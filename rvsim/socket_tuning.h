#pragma once
// Socket options that differ between platforms.

#include <QtGlobal>

namespace rvsim {

// Probes a silent peer early (the system's default waits two hours), so a
// gateway that lost power is noticed; a no-op where the knobs are missing.
void shortenKeepAlive(qintptr socketDescriptor);

}  // namespace rvsim
