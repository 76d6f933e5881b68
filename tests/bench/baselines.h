// The baselines that run inside the measuring program, beside the program's
// own code: a window of plain push buttons for the picker windows, and the
// raw durable replace of a file for a click.
#pragma once

#include <windows.h>

#include <string>

namespace tw_bench {

// Makes and shows a window of the picker windows' client size with 26 plain
// push buttons where the Desktop-shortcuts window has its 24 picture buttons
// (1700 x 650 twips, 4 x 6), OK and Cancel (1215 x 495). The caller paints
// and destroys it.
HWND ShowPlainButtonWindow();

// Replaces `target` with `bytes` the plain durable way: a temporary file in
// the same folder, written, flushed and moved over the target with write
// through. False when a step fails.
bool RawDurableReplace(const std::wstring& target, const std::string& bytes);

}  // namespace tw_bench
