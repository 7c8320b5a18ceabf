// Config.csv files for the history tests: generated from a protocol, a PLC
// address and a title, everything else at the entries' defaults.
#pragma once

#include <QByteArray>
#include <QString>

#include "profiles.h"

namespace gw::testing {

inline QByteArray sampleConfig(int protocol, const QString& plc, const QString& title,
                               const QString& tail = QString()) {
  ConfigEntries e;
  e.protocol = protocol;
  e.plcAddress = plc;
  e.plcAddressValid = true;
  e.title = title;
  return generateConfig(e, tail).bytes;
}

inline QByteArray modbusConfig(const QString& plc, const QString& title, const QString& tail = QString()) {
  return sampleConfig(kModbusTcp, plc, title, tail);
}

}  // namespace gw::testing
