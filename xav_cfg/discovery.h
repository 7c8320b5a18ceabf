#pragma once
// modGetIP: finding the XAV modules of the local network. A broadcast ping
// fills the PC's address table, the table's entries with either maker prefix
// are pinged once each, and every module that answers is listed with the
// title of its current configuration. The outside world (ping, the address
// table, the loader) sits behind DiscoveryHost so tests can stand in for it.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "commands.h"

namespace xavcfg {

inline constexpr char kBroadcastAddress[] = "192.168.0.255";
inline constexpr int kBroadcastTimeoutMs = 150;
inline constexpr int kPingTimeoutMs = 100;
// Hardware-address prefixes of the modules, in the table's lower-case form.
inline constexpr char kPrefixA[] = "00-50-4e-";
inline constexpr char kPrefixB[] = "00-40-9d-";

// Addresses of the table lines (from the fourth line on) that carry either
// prefix, in table order. The listing is in the form of "arp -a".
QStringList modulesInAddressTable(const QString& arpListing);

// The kernel's neighbour table in the "arp -a" form (three heading lines,
// then "  address  aa-bb-cc-dd-ee-ff  dynamic"). Reads either the text of
// /proc/net/arp or the output of "ip neigh"; other lines are skipped.
QString arpListingFromNeighbours(const QString& neighbourText);

// Title of a fetched Config.csv: line 3 up to its first comma, trimmed.
// Empty when the file has fewer than four lines or that line no comma.
QString titleFromConfig(const QByteArray& configCsv);

// Entry of the module list: address + " : " + title.
QString moduleEntry(const QString& address, const QString& title);
// The address of a list entry: the text before its first " : " (a text
// without the separator is taken whole).
QString addressOfEntry(const QString& entry);

class NetworkHost {
 public:
  virtual ~NetworkHost() = default;
  // One echo to the broadcast address; the outcome is not looked at.
  virtual void broadcastPing() = 0;
  // The address table in the "arp -a" form.
  virtual QString addressTable() = 0;
  // One echo to the address (100 ms); whether it was answered.
  virtual bool answersPing(const QString& address) = 0;
  // Runs the loader to fetch the module's Config.csv into the working
  // directory and waits for it; false when no command could be made.
  virtual bool fetchConfiguration(const QString& address) = 0;
  // Whether the last of these was cancelled by the operator (or ran out of
  // time): the operation that asked for it stops there.
  virtual bool interrupted() const { return false; }
};

// The real one: runs the commands in the working directory, each waited for
// while the window refuses input, and reads and deletes their report files.
class SystemNetworkHost : public NetworkHost {
 public:
  void broadcastPing() override;
  QString addressTable() override;
  bool answersPing(const QString& address) override;
  bool fetchConfiguration(const QString& address) override;
  bool interrupted() const override { return interrupted_; }

 private:
  void run(const QString& command);
  bool interrupted_ = false;
};

// Fetches the module's configuration and gives its title; empty when none
// can be read (or the fetch was interrupted). A Config.csv of an earlier fetch is removed first so that it
// cannot lend this module its title.
QString GetModuleTitle(NetworkHost& host, const QString& address);

// The first half of the discovery: broadcast ping, address table, one ping
// per candidate; the addresses that answered, in table order. Stops at an
// interrupted step (host.interrupted()) with what it has found so far.
QStringList answeringModules(NetworkHost& host);

// DiscoverModules without the list box: the entries of LV1, in order; it
// stops at an interrupted step like answeringModules.
QStringList DiscoverModules(NetworkHost& host);

// Whether the working directory holds the loader (ruinet.exe; the name is
// compared without regard to case).
bool loaderPresent();

// Command texts of the host's system (a POSIX twin of each Windows text).
QString broadcastPingCommand(gw::Flavour f = gw::hostFlavour());
QString addressTableCommand(const QString& workDir, gw::Flavour f = gw::hostFlavour());
// Whether the address-table command leaves the "arp -a" form (Windows) or
// the kernel's neighbour table (elsewhere).
bool addressTableIsArpForm(gw::Flavour f = gw::hostFlavour());
// The outside toolbox, started from its own directory.
QString toolboxCommand(const QString& toolboxDir, gw::Flavour f = gw::hostFlavour());

}  // namespace xavcfg
