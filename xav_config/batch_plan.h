#pragma once
// A batch plan: a CSV text whose header row names the columns (address,
// protocol, plc, file, base, slot, register, title; any order, any case;
// address, protocol and plc required), then one row per module. Blank lines
// and lines starting with "#" are skipped. A cell left empty takes the
// window's start value (file 7, base 0, slot 0, register 40001). The plan is
// refused whole when a row is invalid or an address appears twice.
// A plain function, widget-free and without I/O.

#include <QList>
#include <QString>
#include <QStringList>

#include "entries.h"

namespace xavconfig {

struct PlanRow {
  int line = 0;     // from 1, in the plan text
  QString address;  // normal form
  gw::Entries entries;
};

struct Plan {
  QList<PlanRow> rows;
  QStringList errors;  // "line 3: ...", empty when the plan can run
  bool ok() const { return errors.isEmpty(); }
};

Plan parsePlan(const QByteArray& text);

}  // namespace xavconfig
