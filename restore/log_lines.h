// The lines of "Restore.log". Plain lines carry their own CR LF; the others
// are written stamped with the date and time.
#pragma once

// Section headers (the only ">" of a section).
inline constexpr char kRestoreModeHeader[] = "\r\n>Restore Mode\r\n";
inline constexpr char kBackupModeHeader[] = "\r\n>Backup Mode\r\n";

// Restore mode.
inline constexpr char kExitByKey[] = "Exit by [5] Key";
inline constexpr char kCalibrationOk[] = "Calibration Data - OK\r\n";
inline constexpr char kClockOk[] = "Clock Setting - OK\r\n";
inline constexpr char kClockNg[] = "Clock Setting - NG";
inline constexpr char kRestoreComplete[] = "Restore Complete";

// Backup mode.
inline constexpr char kSetupProgramsOk[] = "Set Registry UserAppli - OK\r\n";
inline constexpr char kSetupProgramsNg[] = "Set Registry UserAppli - NG";
inline constexpr char kCopySelfOk[] = "Copy Setup.exe - OK\r\n";
inline constexpr char kCopySelfNg[] = "Copy Setup.exe - NG";
inline constexpr char kBackupComplete[] = "Backup Complete";

// Both modes.
inline constexpr char kRestoreFlagOk[] = "Set Registry - OK\r\n";
inline constexpr char kRestoreFlagNg[] = "Set Registry - NG";
inline constexpr char kStartMainProgramOk[] = "CreateProcess Tolvane.exe - OK\r\n";
inline constexpr char kStartMainProgramNg[] = "CreateProcess Tolvane.exe - NG";
inline constexpr char kMainRestoreOk[] = "Tolvane.exe Restore - OK\r\n";
inline constexpr char kMainRestoreNg[] = "Tolvane.exe Restore - NG";
inline constexpr char kMainRestoreTimeout[] = "Tolvane.exe Restore Timeout - NG";
inline constexpr char kMainBackupOk[] = "Tolvane.exe Backup - OK\r\n";
inline constexpr char kMainBackupNg[] = "Tolvane.exe Backup - NG";
inline constexpr char kMainBackupTimeout[] = "Tolvane.exe Backup Timeout - NG";
