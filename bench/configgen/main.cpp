// Prints the Config.csv that a save would write, for integrators who script
// configurations:
//   xav-configgen --protocol 1|2|3 --plc ADDR [--title T] [--file N]
//                 [--base N] [--slot N] [--register N] [--previous FILE]
// Values are the field texts as typed; a title loses commas and line breaks,
// which its field does not take. --previous names the module's previous
// Config.csv, whose captions tail is kept. Where the save refuses, its
// message goes to standard error and the exit status is 2.
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

#include "app_info.h"
#include "files.h"
#include "profiles.h"
#include "readback.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  xav::describeProgram(parser, QStringLiteral("xav-configgen"),
                       QStringLiteral("Prints the Config.csv that a save to a module would write."));
  const QCommandLineOption protocol(QStringLiteral("protocol"),
                                    QStringLiteral("1 EtherNet/IP PCCC, 2 EtherNet/IP CIP, 3 Modbus/TCP."),
                                    QStringLiteral("code"));
  const QCommandLineOption plc(QStringLiteral("plc"), QStringLiteral("PLC IP address."), QStringLiteral("addr"));
  const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Title (default empty)."), QStringLiteral("text"),
                                 QString());
  const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("Integer file number (PCCC, default 7)."),
                                QStringLiteral("n"), QStringLiteral("7"));
  const QCommandLineOption base(QStringLiteral("base"), QStringLiteral("Base element (PCCC, default 0)."),
                                QStringLiteral("n"), QStringLiteral("0"));
  const QCommandLineOption slot(QStringLiteral("slot"), QStringLiteral("Processor slot (CIP, default 0)."),
                                QStringLiteral("n"), QStringLiteral("0"));
  const QCommandLineOption reg(QStringLiteral("register"), QStringLiteral("Starting register (default 40001)."),
                               QStringLiteral("n"), QStringLiteral("40001"));
  const QCommandLineOption previous(QStringLiteral("previous"),
                                    QStringLiteral("The module's previous Config.csv; its captions tail is kept."),
                                    QStringLiteral("file"));
  parser.addOptions({protocol, plc, title, file, base, slot, reg, previous});
  if (const auto end = xav::parseCommandLine(parser, app.arguments(), {.errorExitCode = 1})) return *end;
  const QString code = parser.value(protocol);
  if (!parser.isSet(protocol) || !parser.isSet(plc) ||
      (code != QStringLiteral("1") && code != QStringLiteral("2") && code != QStringLiteral("3"))) {
    std::fprintf(stderr, "xav-configgen: give --protocol 1, 2 or 3 and --plc ADDR (see --help)\n");
    return 1;
  }

  gw::ConfigEntries e;
  e.protocol = code.toInt();
  e.title = parser.value(title);
  e.title.remove(u',').remove(u'\r').remove(u'\n');
  e.plcAddress = parser.value(plc);
  e.plcAddressValid = gw::isValidPlcAddress(e.plcAddress);
  e.fileNumber = parser.value(file);
  e.fileNumberValid = gw::isValidFileNumber(e.fileNumber);
  e.baseElement = parser.value(base);
  e.baseElementValid = gw::isValidBaseElement(e.baseElement);
  e.slot = parser.value(slot);
  e.startRegister = parser.value(reg);

  QString tail;
  if (parser.isSet(previous)) {
    QByteArray old;
    QString error;
    if (!xav::readWholeFile(parser.value(previous), &old, &error)) {
      std::fprintf(stderr, "xav-configgen: %s: %s\n", qPrintable(parser.value(previous)), qPrintable(error));
      return 1;
    }
    tail = gw::parseCurrentConfig(old).captionsTail;
  }

  const gw::GeneratedConfig g = gw::generateConfig(e, tail);
  if (g.refusal != gw::Refusal::None) {
    std::fprintf(stderr, "%s\n", qPrintable(gw::refusalMessage(g.refusal)));
    return 2;
  }
  std::fwrite(g.bytes.constData(), 1, static_cast<size_t>(g.bytes.size()), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
