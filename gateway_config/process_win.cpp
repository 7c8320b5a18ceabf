// Windows twin of the process layer: a line is started as written, the
// program being the part that the system itself would start (see
// command_line.h), the rest its command line.

#include <QDir>
#include <QProcess>

#include <windows.h>
#include <tlhelp32.h>

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

void killByExecutableSuffix(const QString& lowerSuffix) {
  const DWORD self = GetCurrentProcessId();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    const QString exe = QString::fromWCharArray(entry.szExeFile);
    if (!exe.toLower().endsWith(lowerSuffix)) continue;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID);
    if (process) {
      TerminateProcess(process, 0);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
}

}  // namespace gw::detail
