// Texts the station adds for what the numbered text table has no entry for
// (a package that changed after it was verified, a port stopped by the
// operator, ...). They live by name in section "Station" of each language
// file, so the 225-entry table keeps its numbering. A language file that
// predates a text (a user's own translation, say) gets the English text
// below rather than an empty line: an operator must never see a blank
// reason. Write `texts.Get(station_text::kPackageChanged)`.
//
// Add a text here and to section "Station" of every shipped language file;
// the language file tests check that each shipped file has every key.
#pragma once

#include <array>
#include <string_view>

namespace flashery {

struct StationText {
  std::string_view key;      // key in section "Station"
  std::string_view english;  // used when the active file lacks the key
};

namespace station_text {

inline constexpr StationText kPackageChanged{
    "packageChanged", "The package file changed after it was verified; nothing more is written from it"};
// A port's job ended by the operator (window closed, SIGINT/SIGTERM).
inline constexpr StationText kStoppedByOperator{"stoppedByOperator", "Stopped by the operator"};
// Said once for a log or run record that lost records; the file's name and
// the system's reason follow.
inline constexpr StationText kRecordIncomplete{"recordIncomplete", "This record could not be written completely:"};

// Start-up stops on a settings file it cannot read whole (the reason and
// the file follow after ": "); the file is never written over.
inline constexpr StationText kSettingsUnreadable{
    "settingsUnreadable", "The station cannot start: a settings file cannot be read whole and is left as it is"};
// A settings write failed (the file and the reason follow after ": ").
inline constexpr StationText kSettingsNotSaved{"settingsNotSaved", "The settings were not saved"};
// A file the station reads could not be read (the file and the reason follow).
inline constexpr StationText kFileUnreadable{"fileUnreadable", "A file cannot be read"};

inline constexpr StationText kHeaderTextUndecodable{
    "headerTextUndecodable", "A text of the package header is not valid in the station's code page"};
inline constexpr StationText kNameNotListable{
    "nameNotListable", "A name cannot stand in a list in the station's code page"};
// A running port's handset stayed off the bus (outside a restart the job
// asked for) for the station's goneFailSeconds.
inline constexpr StationText kHandsetRemoved{"handsetRemoved", "Handset removed during download"};
// A start, or a job, whose selection writes nothing to the handset.
inline constexpr StationText kNothingToWrite{"nothingToWrite", "Nothing to write to the handset: no ready image or file set is selected"};
// A port's stop button.
inline constexpr StationText kStopPort{"stopPort", "Stop"};
// The large result words of a finished panel.
inline constexpr StationText kResultPass{"resultPass", "PASS"};
inline constexpr StationText kResultFail{"resultFail", "FAIL"};
inline constexpr StationText kResultStopped{"resultStopped", "STOPPED"};
// Before the time a finished unit took.
inline constexpr StationText kUnitTime{"unitTime", "Time"};
// The labels of a port panel.
inline constexpr StationText kPanelSerial{"panelSerial", "SN:"};
inline constexpr StationText kPanelStatus{"panelStatus", "Status:"};
inline constexpr StationText kPanelProgress{"panelProgress", "Progress:"};
// The shift counts of the window, and the administrator's reset.
inline constexpr StationText kSinceStart{"sinceStart", "Since start (good / failed, yield):"};
inline constexpr StationText kToday{"today", "Today:"};
inline constexpr StationText kResetCounts{"resetCounts", "Reset counts"};

// --prepare at the window's start found the saved release not ready (the
// reason follows after ": ").
inline constexpr StationText kReleaseNotPrepared{
    "releaseNotPrepared", "The release could not be prepared at start; the station is not ready"};

}  // namespace station_text

// Every station text, for the language file checks.
inline constexpr std::array kAllStationTexts{
    station_text::kPackageChanged,
    station_text::kStoppedByOperator,
    station_text::kRecordIncomplete,
    station_text::kSettingsUnreadable,
    station_text::kSettingsNotSaved,
    station_text::kFileUnreadable,
    station_text::kHeaderTextUndecodable,
    station_text::kNameNotListable,
    station_text::kReleaseNotPrepared,
    station_text::kHandsetRemoved,
    station_text::kNothingToWrite,
    station_text::kStopPort,
    station_text::kResultPass,
    station_text::kResultFail,
    station_text::kResultStopped,
    station_text::kUnitTime,
    station_text::kPanelSerial,
    station_text::kPanelStatus,
    station_text::kPanelProgress,
    station_text::kSinceStart,
    station_text::kToday,
    station_text::kResetCounts,
};

}  // namespace flashery
