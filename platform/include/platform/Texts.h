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

  // The editor's own messages (files and ports as the editor says them).
  kPortUnavailable,
  kOpenFileQuestion,
  kOpenFileCaption,
  kSaveFileQuestion,
  kSaveFileCaption,
  kLoadFailed,  // {1} why
  kSaveFailed,  // {1} why

  // Code set files and other files the tools read and write.

  // Serial ports: opening, identity, diagnosis.

  // The command-line tool's results and diagnostics.

  // The virtual device.
};

// The words of `id` in `language`, with "{1}" ... "{9}" replaced by `args`
// (a placeholder without an argument stays as it is).
std::string Text(TextId id, Language language, const std::vector<std::string>& args = {});

// Every identifier but kNone, in declaration order: for checks over the whole
// catalogue (each has words in both languages, the same placeholders).
const std::vector<TextId>& AllTextIds();

}  // namespace korvane
