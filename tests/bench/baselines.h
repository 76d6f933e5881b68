// The baselines that run inside the measuring program, beside the program's
// own code: a window of plain push buttons for the picker windows, and the
// durable replace of a file for a click, done safely and done raw.
#pragma once

#include <windows.h>

#include <string>

namespace tw_bench {

// Makes and shows a window of the picker windows' client size with 26 plain
// push buttons where the Desktop-shortcuts window has its 24 picture buttons
// (1700 x 650 twips, 4 x 6), OK and Cancel (1215 x 495). The caller paints
// and destroys it.
HWND ShowPlainButtonWindow();

// Replaces `target` with `bytes` the plain safe way: a new temporary file
// beside it under a random name (CREATE_NEW, so nothing planted there is
// opened), one write, a flush, then ReplaceFileW over the target, or a move
// with write through where there is no target. False when a step fails.
bool SafeDurableReplace(const std::wstring& target, const std::string& bytes);

// The same bytes the raw way: a temporary file of a fixed name, written,
// flushed and renamed over the target with write through.
bool RawDurableReplace(const std::wstring& target, const std::string& bytes);

}  // namespace tw_bench
