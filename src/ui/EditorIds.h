#pragma once

namespace qm::ids {

// Controls of the main window. The numbers are the ones the window's layout
// table, the control layout and the tests use to find a control again.
inline constexpr int kNoId = -1;
inline constexpr int kExit = 2;
inline constexpr int kTree = 1001;
inline constexpr int kDescEdit = 1002;
inline constexpr int kLoad = 1003;
inline constexpr int kSave = 1004;
inline constexpr int kUnload = 1005;
inline constexpr int kTypeField = 1006;
inline constexpr int kTreeGroup = 1007;
inline constexpr int kDescGroup = 1008;
inline constexpr int kInfoGroup = 1009;
inline constexpr int kDataGroup = 1010;
inline constexpr int kDescReload = 1011;
inline constexpr int kDescApply = 1012;
inline constexpr int kSizeField = 1013;
inline constexpr int kApplyChanges = 1014;
inline constexpr int kEdit = 1015;
inline constexpr int kUnpack = 1016;
inline constexpr int kUndoChanges = 1017;
inline constexpr int kDataEdit = 1018;
inline constexpr int kView = 1019;
inline constexpr int kOffsetField = 1020;
inline constexpr int kTypeIdField = 1021;
// The hex view and inspector that "&View" shows in the data editor's place.
inline constexpr int kDataView = 1022;
inline constexpr int kStatusBar = 32500;
inline constexpr int kHelp = 57670;

// Menu commands.
inline constexpr int kCmdFind = 136;
inline constexpr int kCmdOpen = 141;
inline constexpr int kCmdExit = 144;
inline constexpr int kCmdFindNext = 145;
inline constexpr int kCmdAbout = 146;
inline constexpr int kCmdUnpack = 149;
inline constexpr int kCmdOptions = 150;
inline constexpr int kCmdUnpack2Access = 151;
inline constexpr int kCmdUnpack2DB = 152;
inline constexpr int kCmdGuessTypes = 153;
inline constexpr int kCmdUnload = 32788;
inline constexpr int kCmdSave = 32789;
inline constexpr int kCmdUndo = 57643;
inline constexpr int kCmdRedo = 57644;

// The tree's context menu.
inline constexpr int kCmdInsertChunk = 32800;
inline constexpr int kCmdDeleteChunk = 32801;
inline constexpr int kCmdDuplicateChunk = 32802;
inline constexpr int kCmdMoveChunkUp = 32803;
inline constexpr int kCmdMoveChunkDown = 32804;
inline constexpr int kCmdCutChunk = 32805;
inline constexpr int kCmdCopyChunk = 32806;
inline constexpr int kCmdPasteChunks = 32807;
inline constexpr int kCmdExportChunk = 32808;
inline constexpr int kCmdImportChunks = 32809;
inline constexpr int kCmdSaveThisFile = 32810;
inline constexpr int kCmdSaveThisFileAs = 32811;

} // namespace qm::ids
