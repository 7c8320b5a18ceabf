// Windows twin of the process layer: a line is started as written, the
// program being the part that the system itself would start (see
// command_line.h), the rest its command line.

#include <QDir>
#include <QProcess>

#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <vector>

#include "command_line.h"
#include "processes.h"
#include "process_platform.h"

namespace gw::detail {

bool prepareLine(const QString& rawLine, const QString& workDir, PreparedLine* out, QString* error) {
  Q_UNUSED(error);
  const CommandLineSplit split = splitCommandLine(rawLine, workDir, Flavour::Windows, [&](const QString& candidate) {
    return windowsProgramExists(candidate, workDir);
  });
  out->program = split.program;
  out->arguments.clear();
  out->nativeArguments = split.rest;
  return true;
}

void applyLine(QProcess& process, const PreparedLine& line) {
  process.setProgram(line.program);
  process.setArguments({});
  process.setNativeArguments(line.nativeArguments);
}

namespace {

// The user a process runs as, compared with this process's user.
bool sameUserAsCaller(HANDLE process) {
  auto userOf = [](HANDLE p, std::vector<BYTE>* buffer) -> PSID {
    HANDLE token = nullptr;
    if (!OpenProcessToken(p, TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer->resize(size);
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, buffer->data(), size, &size);
    CloseHandle(token);
    return ok ? reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid : nullptr;
  };
  std::vector<BYTE> mine;
  std::vector<BYTE> theirs;
  const PSID me = userOf(GetCurrentProcess(), &mine);
  const PSID them = userOf(process, &theirs);
  return me && them && EqualSid(me, them);
}

}  // namespace

void killByExecutableSuffix(const QString& lowerSuffix, qint64 treeRoot) {
  const DWORD self = GetCurrentProcessId();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  std::map<DWORD, DWORD> parents;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  // Process ids are reused, so a chain may loop: it is followed only so far.
  auto descends = [&](DWORD pid) {
    for (int depth = 0; depth < 64; ++depth) {
      const auto up = parents.find(pid);
      if (up == parents.end() || up->second == 0) return false;
      pid = up->second;
      if (pid == static_cast<DWORD>(treeRoot)) return true;
    }
    return false;
  };
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    const QString exe = QString::fromWCharArray(entry.szExeFile);
    if (!exe.toLower().endsWith(lowerSuffix)) continue;
    if (treeRoot > 0 && !descends(entry.th32ProcessID)) continue;
    HANDLE process =
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process) continue;
    // Other people's programs are theirs, also for an administrator.
    if (sameUserAsCaller(process)) TerminateProcess(process, 0);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

}  // namespace gw::detail
