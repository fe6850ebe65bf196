// Names of the program's D-Bus roads on the session bus.
//
// Service org.norvantix.Norvantix, owned by the running program (the D-Bus
// service file of the same name starts "norvantix --automation" when a client
// calls it while it is not running).
//
//   /Form1         org.norvantix.Form1
//                    Execute(s line)            run a line as if typed, shown in the window
//                    property lblMsg     s      the message line (read-only)
//                    property lblTime    s      the time line (read-only)
//                    property cboCommand s      the command box's text (read-only)
//                    property cboCommandList as the command history, newest first
//                    (all empty while the main window is not loaded; Execute then
//                    answers the error kErrNoWindow)
//
//   /NorvantixCmd  org.norvantix.NorvantixCmdFactory
//                    Create() -> o              a new automation object owned by the caller
//                  org.norvantix.NorvantixCmd  (the caller's own implicit object)
//                    Exec(s line) -> s          joined reply; creates the object if needed
//                    ExecReplies(s line) -> (s joined, as replies)
//                    Release()                  ends the caller's implicit object
//                    property NorvantixCmd o    "/NorvantixCmd"
//
//   /NorvantixCmd/<n>  org.norvantix.NorvantixCmd  (an object made by Create)
//                    Exec, ExecReplies          as above
//                    Release()                  ends it (its owner only)
//                    property NorvantixCmd o    its own path
//
//   /Diagnostics   org.norvantix.Diagnostics  (read-only properties)
//                    PortOpen b, CommLoaded b, MainWinLoaded i, AutoObjAlive i,
//                    AutomationObjects i, WindowVisible b
#pragma once

namespace nvx::dbus {

inline constexpr const char* kServiceName = "org.norvantix.Norvantix";

inline constexpr const char* kForm1Path = "/Form1";
inline constexpr const char* kForm1Interface = "org.norvantix.Form1";

inline constexpr const char* kCmdPath = "/NorvantixCmd";
inline constexpr const char* kCmdInterface = "org.norvantix.NorvantixCmd";
inline constexpr const char* kFactoryInterface = "org.norvantix.NorvantixCmdFactory";

inline constexpr const char* kDiagPath = "/Diagnostics";
inline constexpr const char* kDiagInterface = "org.norvantix.Diagnostics";

// Errors the roads answer with (the commands themselves never fail a call:
// their failures are in the reply text).
inline constexpr const char* kErrNoWindow = "org.norvantix.Norvantix.Error.NoWindow";
inline constexpr const char* kErrUnknownObject = "org.norvantix.Norvantix.Error.UnknownObject";
inline constexpr const char* kErrNotOwner = "org.norvantix.Norvantix.Error.NotOwner";
// A command line longer than kMaxLineBytes (UTF-8 bytes) is refused by Exec,
// ExecReplies and Execute without running any of it.
inline constexpr const char* kErrLineTooLong = "org.norvantix.Norvantix.Error.LineTooLong";
inline constexpr int kMaxLineBytes = 1 << 20;

}  // namespace nvx::dbus
