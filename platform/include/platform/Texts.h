#pragma once

#include <string>
#include <vector>

namespace korvane {

// The two languages the tools speak: the editor's Chinese (its texts are the
// device's own, kept byte for byte) and English.
enum class Language { English, Chinese };

// Every text shown to an operator about programming, read-back, files and
// ports has one identifier here and its words once, in both languages, in
// Texts.cpp. Libraries report identifiers and details; each front end asks
// for the words in its language.
enum class TextId {
  kNone,  // no catalogue text: the error's Message stands as it is
  // The device's dialog captions and messages.
  kCaptionWarning,
  kCaptionSuccess,
  kCaptionDone,
  kPortClosed,
  kHandshakeFailed,
  kFileFault,
  kBlockFailed,
  kProgramSuccess,
  kImageBusy,
  kReadConfirm,
  kReadFailed,
  kReadSuccess,
  kOverlongCodes,     // followed by one kOverlongCodeLine for each code
  kOverlongCodeLine,  // {1} button, {2} kPressCodes or kReleaseCodes, {3} code, {4} length
  kPressCodes,
  kReleaseCodes,
  kMisplacedAnswer,  // {1} block, {2} the start of what came
  kDeviceBusy,
  kOperationStopped,
  kReadCancelled,
  kImageFileFault,   // the command line's: {1} the cause
  kImageNotWritten,  // {1} the image file
  kImageDirHint,
  // Why an image file could not be used: {1} the file, {2} why (the
  // system's words or one of the reasons after them).
  kImageCannotOpen,
  kImageCannotRead,
  kImageCannotWrite,
  kImageNotRegular,
  kImageHardLinks,
  kImageSymlink,
  kImageReparsePoint,

  // The editor's own messages (files and ports as the editor says them).
  kPortUnavailable,
  kOpenFileQuestion,
  kOpenFileCaption,
  kSaveFileQuestion,
  kSaveFileCaption,
  kLoadFailed,  // {1} why
  kSaveFailed,  // {1} why

  // Code set files and other files the tools read and write. Each text's {1}
  // is the file's path (in the file system's encoding).
  kFileNoName,
  kFileReach,
  kFileNotRegular,
  kFileRead,
  kFileWrite,
  kFileCreateBeside,
  kFileWriteInPlace,
  kFileLineBreak,
  kFileCannotHold,  // {1} the file, {2} the section, {3} the key
  kFileNoCodePage,  // {1} the code page's number
  kFileReasonDenied,
  kFileReasonNoSpace,
  kFileReasonMissing,
  kFileReasonReadOnly,
  kFileReasonInUse,
  kFileReasonTooLarge,

  // Serial ports: opening, identity, diagnosis.
  kPortNotFound,
  kPortNotSerial,
  kPortInUse,
  kPortCannotOpen,
  kPortPermissionJoinGroup,
  kPortPermissionOwnerOnly,
  kPortPermissionOwnerAndAdmins,
  // The serial component's own open failures; its PortOpenError is the English.
  kPortAlreadyOpened,
  kPortErrorOpening,
  kPortNotCommHandle,
  kPortNoCommBuffer,
  kPortNoStopEvent,
  kPortNoReadThread,
  kPortNoWriteThread,
  kPortLineSettingsRefused,

  // The command-line tool's results and diagnostics.
  kCliUnexpectedError,
  kCliUnexpectedUnknown,
  kCliNoSuchFile,
  kCliNotRegularFile,
  kCliCodeSetUnreadable,
  kCliNoCodeKeys,
  kCliNothingSent,
  kCliNoImageWritten,
  kCliWarning,
  kCliOddHexDigits,
  kCliNotHexCharacters,
  kCliCodesNotHex,
  kCliBadCodesRefused,
  kCliInterruptedDuring,
  kCliLineLost,
  kCliInterruptedVerifying,
  kCliVerifyReadFailed,
  kCliVerifyDifferences,
  kCliBaudRate,
  kCliProgrammedVerified,
  kCliBlocksAcknowledged,
  kCliLogUnopenable,
  kCliLogAppendFailed,
  kCliHelpHint,
  kCliReplyOverlongAreas,
  kCliAreaLength,
  kCliOutputLost,
  kCliStdoutFailed,
  kCliStdoutPortList,
  kCliStdoutCodes,
  kCliStdoutResults,
  kCliReadBaud,
  kCliReadNoBaud,
  kCliReadNotSaved,
  kCliVerified,
  kCliOutputIsCodeSet,
  kCliImageNotWritten,
  kCliImageWritten,
  kCliVerifyDifference,
  kCliPartlyWritten,
  kCliResultFailed,
  kCliResultInterrupted,
  kCliPhaseOpening,
  kCliPhaseConnecting,
  kCliPhaseBuilding,
  kCliPhaseBlock,
  kCliPhaseVerifying,
  kCliPhaseReading,
  kCliPhaseDone,
  kCliPortOpenFailed,
  kCliTraceSent,
  kCliTraceReceived,
  kCliTraceLineLost,
  kCliTraceReplyComplete,
  kCliPortMatchesNone,
  kCliPortMatchesMany,
  kCliPortsSameDevice,
  kCliNoPortListed,
  kCliNoTempFolder,
  kCliTempFolderFailed,
  kCliImageDirMissing,
  kCliImageDirNotFolder,
  kCliImageDirUnwritable,
  kCliProfileUnreadable,
  kCliSlot,
  kCliSlotUnexpected,
  kCliWaitingNextUnit,
  kCliWaitingDevice,
  kCliRefused,
  kCliNoMatch,
  kCliFilterOr,
  kCliUnitFailed,
  kCliUnitPartly,
  kCliUnitOk,
  kCliUnitFailedIn,
  kCliUnitInterruptedIn,
  kCliSlotUnitResult,
  kCliOk,
  kCliConfirmNext,
  kCliRemoveUnit,
  kCliSlotRow,
  kCliSlotLast,
  kCliSlotSummary,
  kCliStationSummary,
  kCliReplyNothing,
  kCliReplyEcho,
  kCliReplyExtraBytes,
  kCliReplyOther,

  // The virtual device.
};

// The words of `id` in `language`, with "{1}" ... "{9}" replaced by `args`
// (a placeholder without an argument stays as it is).
std::string Text(TextId id, Language language, const std::vector<std::string>& args = {});

// An argument that stands for the words of `id` (with `args`, which hold no
// TextArg of their own) in the language the whole text is asked in: a reason
// or a cause within a message.
std::string TextArg(TextId id, const std::vector<std::string>& args = {});

// An argument's words in `language`: a TextArg's text, anything else as it is.
std::string ArgWords(const std::string& arg, Language language);

// Every identifier but kNone, in declaration order: for checks over the whole
// catalogue (each has words in both languages, the same placeholders).
const std::vector<TextId>& AllTextIds();

}  // namespace korvane
