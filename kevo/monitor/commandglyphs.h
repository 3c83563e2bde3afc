// The glyphs of the main window's commands (menu items and tool-bar buttons): one 16 x 16
// picture per command, in its normal, highlighted (under the mouse) and disabled look.
// GUI thread (pixmaps).
#pragma once

#include <QPixmap>

class QStyle;

// Number of commands with a glyph: new, open, save, search, print, new project, open
// project, save project, settings, start, stop, address scan, bus tool, memory monitor.
constexpr int CommandGlyphCount = 14;

// The normal look of glyph index; some come from the style's standard icons.
QPixmap commandGlyph(int index, QStyle* style);
// The highlighted look: a little more vivid than the normal one.
QPixmap highlightedGlyph(const QPixmap& normal);
// The disabled look: grey and faded, apart from the normal look even for grey glyphs.
QPixmap disabledGlyph(const QPixmap& normal);
