// The bridge to the long-file-name helper program "velqlfn". The library
// sends it a command line and, for a translation, reads its answer from the
// title of the window it opens: the short name, '*', the long name.
#pragma once

#include <cstdint>

namespace ovrix {

// The one text buffer that both operations share, first for the command
// line and then for the answer; a command line must fit in 511 characters.
constexpr int32_t kBridgeBufferSize = 512;
// Longest answer that is read, leaving room for the NUL.
constexpr int32_t kBridgeAnswerMax = kBridgeBufferSize - 2;
// Class of the helper's answer window.
inline constexpr const char kHelperWindowClass[] = "velq_ovrix16_lfn_helper";
// How many times a translation looks for the answer window.
constexpr int kHelperWindowLookups = 20;
// Rename result when the command line would not fit: nothing is started.
constexpr int32_t kBridgeCommandTooLong = 24;

// Starts "velqlfn ren<first>*<second>" and returns the start result (above
// 31 when the helper started; see platform::StartProgram for the rest), or
// kBridgeCommandTooLong. Does not wait for the rename.
int32_t Bridge_RenameFile(const char* first, const char* second);
// Starts "velqlfn trn<name>" and looks for the answer window. 1 when an
// answer "<short>*<long>" was read: the two parts are copied to the outputs
// and shown in the message boxes "short" and "long". 0, with both outputs
// empty, when the command line would not fit (nothing is started), when no
// answer window appeared or when its title has no '*'.
int32_t Bridge_TranslateFilename(const char* name, char* shortOut, char* longOut);

}  // namespace ovrix
