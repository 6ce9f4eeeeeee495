// Named text ids: the numbers of the station's texts in the text table
// (section "Text" of a language file, key 100 + id). Write
// `texts.Get(kTextHandsetOpened)`, never a bare number.
//
// Texts are joined with labels, names, numbers and paths by plain
// concatenation, and each text carries its own blank or colon at the joint:
// - a label (kTextLabel...) ends with a colon; the texts that follow a label
//   or a bare image or file name begin with their own blank in English;
// - a text followed by a number (seconds, a byte count, an error code) ends
//   with a blank or a colon; one followed by a path or name ends with ": ".
// No text contains '%': pass a text as an argument ("%s"), never as a
// format. Ids not listed here are unused and empty in the shipped files.
//
// The application package staging and the list files report nothing by
// text id (staging uses the program's own literal messages); the unattended
// mode reports an unbound extension section with kTextPackageRejected.
#pragma once

namespace flashery {

// --- Port job ---------------------------------------------------------------
constexpr int kTextHandsetOpened = 41;            // "Handset opened" (status)
constexpr int kTextHandsetOpenFailed = 42;        // "Cannot open the handset" (also: no return after storage mode)
constexpr int kTextDownloadStarted = 43;          // "Starting the image download"
constexpr int kTextDownloadStartFailed = 44;      // "Could not start the download after 3 tries"
constexpr int kTextRestartFailed = 47;            // "The handset did not restart" (also: no return after restart)
constexpr int kTextHandsetRestarting = 48;        // "Handset is restarting" (left the bus)
constexpr int kTextReopeningAfterRestart = 49;    // "Handset is back, opening it again"
constexpr int kTextWaitingForReturn = 50;         // "Waiting for the handset to come back " + seconds
constexpr int kTextStorageModeRefused = 51;       // "The handset refused the storage mode"
constexpr int kTextSwitchingStorageMode = 52;     // "Handset is switching to storage mode " (+ seconds)
constexpr int kTextStorageModeSelected = 53;      // "Storage mode selected, opening the handset again"
constexpr int kTextFormatStorageFailed = 54;      // "Formatting the handset storage failed" (mode 1, twice)
constexpr int kTextDownloadSucceeded = 55;        // "Download successful, time used:" + " %s; "
constexpr int kTextHandsetNotAnswering = 57;      // "The handset does not answer" (first probe)
constexpr int kTextHandsetAnswering = 58;         // "Handset is answering" (a successful probe only)
constexpr int kTextLostAfterFileSets = 5;         // "The handset stopped answering after the file copy"

// --- Image transfer ---------------------------------------------------------
constexpr int kTextPackagePathInvalid = 61;       // "Invalid package path: " + path (log)
constexpr int kTextLabelXloader = 62;             // "Xloader download:"
constexpr int kTextLabelBootloader = 63;          // "Bootloader download:"
constexpr int kTextLabelEnv = 64;                 // "Env.txt download:"
constexpr int kTextLabelKernel = 65;              // "Kernel download:"
constexpr int kTextLabelSystem = 66;              // "system.img download:"
constexpr int kTextLabelUserdata = 67;            // "userdata.img download:"
constexpr int kTextLabelCache = 68;               // "Cache.img download:"
constexpr int kTextLabelRecovery = 69;            // "Recovery.img download:"
constexpr int kTextPackageFileOpenFailed = 70;    // " cannot open the package file, error " + "%d %s"
constexpr int kTextImageStarting = 71;            // " starting"
constexpr int kTextSizeUnknown = 73;              // ": size missing or unreadable" (after a name)
constexpr int kTextCommandRefused = 74;           // " command refused by the handset"
constexpr int kTextReadFailed = 75;               // " read failed, bytes sent: " + count
constexpr int kTextBlockRefused = 76;             // " block refused, sending it again"
constexpr int kTextBlockGivenUp = 77;             // " block refused too often, giving up; bytes sent: " + count
constexpr int kTextSending = 78;                  // " sending" + " (%2.1f%%) ..."
constexpr int kTextFinished = 79;                 // " finished successfully" (image or file set)
constexpr int kTextImageAborted = 99;             // "Image transfer aborted"

// --- File sets --------------------------------------------------------------
constexpr int kTextLabelResources = 80;           // "Built-in resources:"
constexpr int kTextLabelGps = 81;                 // "GPS data:"
constexpr int kTextLabelBrand = 82;               // "Brand files:"
constexpr int kTextInvalidPath = 83;              // " invalid path: " + path
constexpr int kTextTransferFailed = 84;           // " transfer failed"
constexpr int kTextFolderFailedTooOften = 85;     // "Creating a folder on the handset failed 5 times"
constexpr int kTextFileFailedTooOften = 86;       // "Copying a file to the handset failed 5 times"
constexpr int kTextEmptyPathOrRoot = 87;          // "Empty local path or handset folder"
constexpr int kTextOutsideFileSets = 88;          // "Path lies outside the file-set folders: " + path
constexpr int kTextCreatingOnHandset = 89;        // "Creating on the handset: " + name
constexpr int kTextFolderCreated = 90;            // "Folder created: " + name
constexpr int kTextFolderRefused = 91;            // "The handset refused the folder: " + name
constexpr int kTextFileOpenedOnHandset = 92;      // "File opened on the handset: " + name
constexpr int kTextFileRefused = 93;              // "The handset refused the file: " + name
constexpr int kTextLocalFileOpenFailed = 94;      // "Cannot open the local file: " + name
constexpr int kTextEmptyFile = 95;                // "Empty file, no data to send: " + name
constexpr int kTextStoragePrepFailed = 96;        // "Preparing the handset storage failed"
constexpr int kTextPreparingStorage = 97;         // "Preparing the handset storage " + seconds
constexpr int kTextStoragePrepared = 98;          // "Handset storage prepared in " + seconds

// --- Transport (log only) ---------------------------------------------------
constexpr int kTextDeviceOpened = 56;             // "Handset device opened"
constexpr int kTextBadCommandStatus = 100;        // "Command ended with an error status, bytes returned: " + count
constexpr int kTextCommandFailed = 101;           // "Command failed, system error " + code

// --- Vendor commands --------------------------------------------------------
constexpr int kTextHandsetNotReady = 45;          // " Handset not ready " (also before seconds while waiting)
constexpr int kTextWaitingForHandset = 46;        // "Waiting for the handset " + seconds
constexpr int kTextOpenDownloadRefused = 59;      // "The handset refused the download request"
constexpr int kTextOpenDownloadAccepted = 60;     // "The handset accepted the download request"
constexpr int kTextWaitingForFinish = 109;        // "Waiting for the handset to finish " + seconds
constexpr int kTextHandsetFinished = 110;         // "Handset finished in " + seconds
constexpr int kTextFinishFailed = 111;            // "The handset did not finish"

// --- Package ----------------------------------------------------------------
constexpr int kTextPackageUnopenable = 72;        // "Cannot open the QFM package file"
constexpr int kTextPackageHeaderUnreadable = 105; // "Cannot read the QFM package header"
constexpr int kTextNotAPackage = 106;             // "Not a QFM package (wrong signature)"

// --- Package verification ---------------------------------------------------
constexpr int kTextPackageRejected = 104;         // "QFM package rejected (check failed or extension section not configured)"
constexpr int kTextInfoVersion = 107;             // "Version" + " :%s , " (info line)
constexpr int kTextInfoSystem = 108;              // "System" + ":  %s" (info line)

// --- Resource folder scan ---------------------------------------------------
constexpr int kTextNoSinglePackage = 8;           // "The resource folder must hold exactly one QFM package"
constexpr int kTextNoGpsFolder = 10;              // "No GPS folder in the resource folder"
constexpr int kTextGpsPathTooLong = 11;           // "GPS folder path is too long (at most 150 characters)"
constexpr int kTextGpsFolderMissing = 12;         // "GPS folder not found"
constexpr int kTextGpsListMissing = 13;           // "GPS file list quilfile_pc.txt is missing in QUILMAP"
constexpr int kTextGpsIncomplete = 14;            // "GPS folder is incomplete, missing:" + " <folder>" items
constexpr int kTextGpsListingFailed = 15;         // "Listing the GPS files failed"
constexpr int kTextGpsMismatch = 16;              // "GPS files differ from their file list"
constexpr int kTextNoResourcesFolder = 17;        // "No built-in resources folder (内置资源) in the resource folder"
constexpr int kTextResourcesPathTooLong = 18;     // "Built-in resources folder path is too long (at most 150 characters)"
constexpr int kTextResourcesFolderMissing = 19;   // "Built-in resources folder not found: " + path
constexpr int kTextResourcesListMissing = 20;     // "File list resfile_pc.txt is missing"
constexpr int kTextResourcesIncomplete = 21;      // "Resource folder is incomplete, missing:" + " <folder>" items
constexpr int kTextResourcesListingFailed = 22;   // "Listing the resource files failed"
constexpr int kTextResourcesMismatch = 23;        // "Resource files differ from their file list"
constexpr int kTextNoBrandFolder = 24;            // "No brand folder (quillon)"
constexpr int kTextBrandPathTooLong = 25;         // "Brand folder path is too long (at most 150 characters)"
constexpr int kTextBrandFolderMissing = 26;       // "Brand folder not found: " + path
constexpr int kTextBrandIncomplete = 28;          // "Brand folder is incomplete, missing:" + " <presetapp>"
constexpr int kTextGpsNoCdrom = 122;              // " <cdrom>" (an item of a missing-parts list)
constexpr int kTextGpsNoBackup = 123;             // " <udisk_bak>" (an item of a missing-parts list)
constexpr int kTextGpsOptionalMissing = 124;      // "The GPS folder lacks optional parts. OK: ... Cancel: stop. Missing:"

// --- Views: download file dialog --------------------------------------------
constexpr int kTextGpsChecking = 1;               // "Checking the GPS data " + "%dS..."
constexpr int kTextGpsReady = 2;                  // "GPS data checked, ready to download"
constexpr int kTextResourcesChecking = 3;         // "Checking the built-in resources" + " %dS..."
constexpr int kTextResourcesReady = 4;            // "Built-in resources checked, ready to download"
constexpr int kTextCheckStillRunning = 7;         // "A file check is still running. Please wait ..." (message box)
constexpr int kTextPackageChecking = 9;           // "Verifying the QFM package" + " %dS..."
constexpr int kTextPackageReady = 102;            // "QFM package verified, ready to download"
constexpr int kTextFormatAllAtOnce = 112;         // "Format all storage areas at once" (format list, first entry)
constexpr int kTextFormatPerFileSet = 113;        // "Format only the areas being written" (second entry)
constexpr int kTextPackageNotSelected = 114;      // "QFM package not selected"
constexpr int kTextResourcesNotSelected = 115;    // "Built-in resources not selected"
constexpr int kTextGpsNotSelected = 116;          // "GPS data not selected"
constexpr int kTextChooseResourceFolder = 118;    // "Choose the resource folder" (folder picker title)

// --- Views: port panels -----------------------------------------------------
constexpr int kTextColumnNumber = 31;             // "No."
constexpr int kTextColumnKind = 32;               // "Kind"
constexpr int kTextColumnName = 33;               // "Name"
constexpr int kTextColumnSize = 34;               // "Size"
constexpr int kTextInfoPackageFile = 36;          // "File: " + package file name
constexpr int kTextInfoModel = 37;                // "Model: " + product name
constexpr int kTextInfoPackageSize = 38;          // "Package size:" + "\t%2dKB"
constexpr int kTextNoHandset = 39;                // " (no handset connected)" (panel; also after "port N")
constexpr int kTextHandsetBound = 40;             // "Handset connected, ready to download"
constexpr int kTextNothingReady = 119;            // "No files are ready for download. ..." (message box)

}  // namespace flashery
