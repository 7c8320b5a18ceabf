#pragma once
// Everything that differs between Windows and the POSIX systems lives here,
// so the tools' logic never tests for the platform itself.

#include <QString>

namespace xav::platform {

inline constexpr bool kWindows =
#ifdef Q_OS_WIN
    true;
#else
    false;
#endif

// Per-user folder for the serial-port map, captions and the bench module
// store: "xav" in the system's folder for user configuration
// ($XDG_CONFIG_HOME/xav, by default ~/.config/xav; %LOCALAPPDATA%\xav on
// Windows).
QString configDir();

// Link that a bench simulator (or the user) makes for "COM n":
// configDir()/ports/comN. Not used on Windows.
QString comPortLinkPath(int n);

// The device a serial port control opens for "COM n". Windows: COMn.
// Elsewhere: the target of comPortLinkPath(n) when that link exists, else a
// usual device name: COM 1-4 /dev/ttyS0-3, COM 5-12 /dev/ttyUSB0-7,
// COM 13-16 /dev/ttyACM0-3. Empty outside 1..16.
QString comPortDevice(int n);

// The number that follows "COM " in a port box's text; 0 when there is none.
int comNumberFromText(const QString& text);

// RVSIM's captions file: c:\bat\ModBusCaptions.txt on Windows,
// configDir()/ModBusCaptions.txt elsewhere.
QString captionsFilePath();

}  // namespace xav::platform
